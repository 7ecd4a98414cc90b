#include "tools/snippet_use.h"

#include <string.h>  // memmem

#include <algorithm>
#include <array>

#include "text/charsets.h"
#include "text/text_codec.h"
#include "tools/page_search.h"

namespace {

constexpr std::array<QStringView, 3> kBreaks{u"\n", u"\r\n", u"\r"};

qsizetype indexOf(QByteArrayView page, QByteArrayView find, qsizetype from) {
  if (from < 0 || page.size() - from < find.size() || find.isEmpty()) return -1;
  const void* hit =
      memmem(page.data() + from, size_t(page.size() - from), find.data(), size_t(find.size()));
  return hit ? static_cast<const char*>(hit) - page.data() : -1;
}

QString withBreaks(const QString& code, QStringView lineBreak) {
  QString text = code;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\r', u'\n');
  if (lineBreak != u"\n") text.replace(u'\n', lineBreak.toString());
  return text;
}

// A code of nothing but blanks would be found between any two words.
bool searchable(const QString& code) { return !code.trimmed().isEmpty(); }

}  // namespace

namespace snippetuse {

int Use::current() const {
  return int(
      std::count_if(places.begin(), places.end(), [](const Place& p) { return p.version == 0; }));
}

int Use::old() const { return int(places.size()) - current(); }

QList<QByteArray> formsIn(const QByteArray& page, const QString& code) {
  const TextEncoding encoding = textcodec::encodingOf(page);
  const pagesearch::PageCoding coding = pagesearch::codingOf(page, encoding);
  QList<QByteArray> forms;
  for (const QStringView lineBreak : kBreaks) {
    const QString text = withBreaks(code, lineBreak);
    // As Insert Code and the head code write it.
    const TextEncoding piece = encoding == TextEncoding::Utf8Bom ? TextEncoding::Utf8 : encoding;
    forms.append(textcodec::encode(TextBuffer{text, piece}));
    // As find and replace and the code view write it: in the page's charset.
    forms.append(pagesearch::replacementBytes(text, pagesearch::Mode::Code, coding));
  }
  return forms;
}

Use find(const QByteArray& page, const QStringList& versions) {
  Use use;
  const TextEncoding encoding = textcodec::encodingOf(page);
  if (encoding == TextEncoding::Utf16LeBom || encoding == TextEncoding::Utf16BeBom) {
    use.refused = QStringLiteral("it is written in UTF-16, which cannot be searched yet");
    return use;
  }
  if (encoding == TextEncoding::Bytes) {
    const QString charset = pagesearch::codingOf(page, encoding).charset;
    if (pagesearch::multiByteCharset(charset) && !charsets::isAscii(page)) {
      use.refused = QStringLiteral("its character set (%1) cannot be searched").arg(charset);
      return use;
    }
  }
  QList<Place> found;
  for (int v = 0; v < versions.size(); ++v) {
    if (!searchable(versions[v])) continue;
    const QList<QByteArray> forms = formsIn(page, versions[v]);
    for (int f = 0; f < forms.size(); ++f) {
      if (forms[f].isEmpty() || forms.indexOf(forms[f]) < f) continue;  // searched already
      const QByteArray& what = forms[f];
      for (qsizetype at = indexOf(page, what, 0); at >= 0;
           at = indexOf(page, what, at + what.size()))
        found.append({at, at + what.size(), v, f});
    }
  }
  // Longest first where two start together, the code now before an earlier
  // one with the same bytes; then whatever a chosen place covers goes.
  std::sort(found.begin(), found.end(), [](const Place& a, const Place& b) {
    if (a.start != b.start) return a.start < b.start;
    if (a.end != b.end) return a.end > b.end;
    return a.version < b.version;
  });
  qsizetype covered = 0;
  for (const Place& p : found) {
    if (p.start < covered) continue;
    use.places.append(p);
    covered = p.end;
  }
  return use;
}

QByteArray update(const QByteArray& page, const Use& use, const QString& code) {
  if (use.old() == 0) return page;
  const QList<QByteArray> forms = formsIn(page, code);
  QByteArray out;
  out.reserve(page.size() + 64 * use.old());
  qsizetype copied = 0;
  for (const Place& p : use.places) {
    if (p.version == 0) continue;
    out.append(page.constData() + copied, p.start - copied);
    out.append(forms.value(p.form));
    copied = p.end;
  }
  out.append(page.constData() + copied, page.size() - copied);
  return out;
}

}  // namespace snippetuse
