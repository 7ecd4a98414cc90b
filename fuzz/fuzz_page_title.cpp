// Title update, checked against a plain rewrite of the same rule: titles
// wholly before the last closing head tag go, then the title is put before
// every closing head tag of the form found.
#include "fuzz_input.h"
#include "tools/text_edits.h"

namespace {

QString withoutTitlesBefore(const QString& page, qsizetype limit) {
  QString out;
  qsizetype copied = 0;
  for (;;) {
    qsizetype open = -1;
    for (const char* tag : {"<Title>", "<TITLE>", "<title>"}) {
      const qsizetype at = page.indexOf(QLatin1String(tag), copied);
      if (at >= 0 && (open < 0 || at < open)) open = at;
    }
    if (open < 0 || open >= limit) break;
    const qsizetype close = page.indexOf(QLatin1String("</title>"), open + 7, Qt::CaseInsensitive);
    if (close < 0 || close + 8 > limit) break;
    out += QStringView(page).mid(copied, open - copied);
    copied = close + 8;
  }
  out += QStringView(page).mid(copied);
  return out;
}

QString unescaped(QString text) {
  return text.replace(QLatin1String("&lt;"), QLatin1String("<"))
      .replace(QLatin1String("&gt;"), QLatin1String(">"))
      .replace(QLatin1String("&amp;"), QLatin1String("&"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const bool utf16 = in.byte() & 1;
  const QString title = textOf(in.piece(80), utf16);
  const QString page = textOf(in.rest(), utf16);

  // The element holds the title as text: no markup can come out of it.
  const QString element = textedits::titleElement(title);
  const QString inner = element.mid(7, element.size() - 15);
  FUZZ_CHECK(element.startsWith(u"<title>") && element.endsWith(u"</title>"));
  FUZZ_CHECK(!inner.contains(u'<') && !inner.contains(u'>'));
  FUZZ_CHECK(unescaped(inner) == title);

  const std::optional<QString> result = textedits::updatePageTitle(page, title);
  const QString upper = QStringLiteral("</HEAD>");
  const QString form = page.contains(upper) ? upper : QStringLiteral("</head>");
  FUZZ_CHECK(result.has_value() == page.contains(form));
  if (!result) return 0;
  const QString stripped = withoutTitlesBefore(page, page.lastIndexOf(form));
  FUZZ_CHECK(*result == QString(stripped).replace(form, element + QStringLiteral("</head>")));
  FUZZ_CHECK(result->contains(element + QStringLiteral("</head>")));
  if (form == upper) FUZZ_CHECK(!result->contains(upper));
  return 0;
}
