#include "text/page_references.h"

#include <QRegularExpression>
#include <QUrl>

#include "text/html_entities.h"

namespace pagerefs {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

bool startsWithNoCase(QByteArrayView s, qsizetype at, const char* lowerWord) {
  qsizetype i = 0;
  for (; lowerWord[i]; ++i) {
    if (at + i >= s.size()) return false;
    char c = s[at + i];
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
    if (c != lowerWord[i]) return false;
  }
  return true;
}

// The attributes whose value names a file to load or a place to go.
const char* referenceAttribute(const markupscan::Attribute& a) {
  switch (a.name.size()) {
    case 3:
      return a.is("src") ? "src" : nullptr;
    case 4:
      return a.is("href") ? "href" : a.is("data") ? "data" : nullptr;
    case 6:
      return a.is("srcset") ? "srcset" : a.is("poster") ? "poster" : nullptr;
    case 10:
      return a.is("background") ? "background" : nullptr;
    default:
      return nullptr;
  }
}

struct StyleTarget {
  QList<Reference>& out;
  Source source;
  const QByteArray& element;
  const QString& attributeValue;
  qsizetype base;
  bool exact;  // offsets within the text are offsets in the file
};

void addStyleRef(const StyleTarget& t, QByteArrayView css, qsizetype from, qsizetype to,
                 const char* attribute) {
  Reference r;
  r.value = QString::fromUtf8(css.sliced(from, to - from)).trimmed();
  r.at = t.exact ? t.base + from : t.base;
  r.element = t.element;
  r.attribute = attribute;
  r.attributeValue = t.attributeValue;
  r.source = t.source;
  t.out.append(std::move(r));
}

// The value of url( at i (just after the parenthesis); where it ends.
qsizetype readUrl(const StyleTarget& t, QByteArrayView css, qsizetype i, const char* attribute) {
  const qsizetype n = css.size();
  while (i < n && isSpace(css[i])) ++i;
  if (i < n && (css[i] == '"' || css[i] == '\'')) {
    const char quote = css[i];
    qsizetype j = i + 1;
    while (j < n && css[j] != quote && css[j] != '\n') ++j;
    addStyleRef(t, css, i + 1, j, attribute);
    return j;
  }
  qsizetype j = i;
  while (j < n && css[j] != ')' && !isSpace(css[j])) ++j;
  addStyleRef(t, css, i, j, attribute);
  return j;
}

void styleRefs(const StyleTarget& t, QByteArrayView css) {
  const qsizetype n = css.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char c = css[i];
    if (c == '/' && i + 1 < n && css[i + 1] == '*') {
      const qsizetype close = css.indexOf("*/", i + 2);
      if (close < 0) return;
      i = close + 1;
    } else if ((c == 'u' || c == 'U') && (i == 0 || !isNameChar(css[i - 1])) &&
               startsWithNoCase(css, i, "url(")) {
      i = readUrl(t, css, i + 4, "url");
    } else if (c == '@' && startsWithNoCase(css, i, "@import")) {
      qsizetype j = i + 7;
      while (j < n && isSpace(css[j])) ++j;
      if (j < n && (css[j] == '"' || css[j] == '\'')) {
        const char quote = css[j];
        qsizetype k = j + 1;
        while (k < n && css[k] != quote && css[k] != '\n') ++k;
        addStyleRef(t, css, j + 1, k, "@import");
        i = k;
      } else if (startsWithNoCase(css, j, "url(")) {
        i = readUrl(t, css, j + 4, "@import");
      }
    }
  }
}

// Collects references as it scans, hidden ones from a second look at the
// content of comments and scripts as if it were markup.
class Collector final : public markupscan::Visitor {
 public:
  Collector(QByteArrayView page, Source source, bool withHidden, QList<Reference>& out)
      : page_(page), source_(source), withHidden_(withHidden), out_(out) {}

  void tag(const markupscan::Tag& tag) override {
    if (!tag.closing) appendFromTag(tag, source_, out_);
  }

  void raw(const markupscan::Tag& element, qsizetype from, qsizetype to) override {
    if (element.is("style")) {
      appendFromStyle(page_, from, to, source_ == Source::Hidden ? source_ : Source::Style, out_,
                      "style");
    } else if (withHidden_ && element.is("script")) {
      hidden(from, to);
    }
  }

  void comment(qsizetype from, qsizetype to) override {
    if (withHidden_) hidden(from, to);
  }

 private:
  // Markup written inside a comment (an old browser's conditional comment)
  // or a script (document.write) may still load its files.
  void hidden(qsizetype from, qsizetype to) {
    QList<Reference> found;
    Collector inner(page_.sliced(from, to - from), Source::Hidden, false, found);
    markupscan::scan(page_.sliced(from, to - from), inner);
    for (Reference& r : found) {
      r.at += from;
      out_.append(std::move(r));
    }
  }

  QByteArrayView page_;
  Source source_;
  bool withHidden_;
  QList<Reference>& out_;
};

}  // namespace

QString attributeText(QByteArrayView raw) {
  QString text = QString::fromUtf8(raw);
  if (!text.contains(u'&')) return text;
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size();) {
    if (text[i] != u'&') {
      out += text[i++];
      continue;
    }
    const htmlentities::Reference ref = htmlentities::decodeAt(text, i);
    // In an attribute a name without ";" followed by "=" or a letter or digit
    // is left as written: "?a=1&copy=2" is an address, not "©=2".
    const qsizetype after = i + ref.length;
    const bool open = ref.length > 0 && text[after - 1] != u';' && after < text.size() &&
                      (text[after] == u'=' || text[after].isLetterOrNumber());
    if (ref.length == 0 || open) {
      out += text[i++];
      continue;
    }
    out += QString::fromUcs4(&ref.character, 1);
    i = after;
  }
  return out;
}

void appendFromTag(const markupscan::Tag& tag, Source source, QList<Reference>& out) {
  QByteArray element;
  for (const markupscan::Attribute& a : tag.attributes) {
    const char* name = referenceAttribute(a);
    const bool style = !name && a.is("style");
    if (!name && !style) continue;
    if (element.isEmpty()) element = tag.name.toByteArray().toLower();
    const QString value = attributeText(a.value);
    if (style) {
      // The browser reads the attribute first, then the style in it.
      const Source from = source == Source::Hidden ? source : Source::Style;
      if (a.value.contains('&'))
        styleRefs({out, from, element, value, a.valueAt, false}, value.toUtf8());
      else
        styleRefs({out, from, element, value, a.valueAt, true}, a.value);
      continue;
    }
    Reference r;
    r.at = a.valueAt;
    r.element = element;
    r.attribute = name;
    r.attributeValue = value;
    r.source = source;
    if (qstrcmp(name, "srcset") == 0) {
      // "a.jpg 1x, b.jpg 2x": each candidate's first word is the address.
      for (const QString& candidate : value.split(u',', Qt::SkipEmptyParts)) {
        const QString url = candidate.trimmed().section(u' ', 0, 0);
        if (url.isEmpty()) continue;
        r.value = url;
        out.append(r);
      }
      continue;
    }
    r.value = value.trimmed();
    out.append(std::move(r));
  }
}

void appendFromStyle(QByteArrayView page, qsizetype from, qsizetype to, Source source,
                     QList<Reference>& out, const QByteArray& element,
                     const QString& attributeValue) {
  styleRefs({out, source, element, attributeValue, from, true}, page.sliced(from, to - from));
}

QList<Reference> inPage(QByteArrayView page, bool withHidden) {
  QList<Reference> out;
  Collector collector(page, Source::Markup, withHidden, out);
  markupscan::scan(page, collector);
  return out;
}

QList<Reference> inStyleSheet(QByteArrayView css) {
  QList<Reference> out;
  appendFromStyle(css, 0, css.size(), Source::Style, out);
  return out;
}

QString relativeFile(const QString& reference) {
  QString ref = reference.trimmed();
  // The query and fragment never name a different file.
  if (const qsizetype hash = ref.indexOf(u'#'); hash >= 0) ref.truncate(hash);
  if (const qsizetype query = ref.indexOf(u'?'); query >= 0) ref.truncate(query);
  // Browsers read a backslash in a relative address as a slash.
  ref.replace(u'\\', u'/');
  if (ref.isEmpty() || ref.startsWith(u'/')) return {};
  // Any scheme (http:, mailto:, javascript:, data:, file:, C:) is not ours.
  static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
  if (scheme.match(ref).hasMatch()) return {};
  // Decoded after the checks above, so "%2F" or "%2E%2E" cannot slip through
  // as text and then act as a separator or a parent step.
  ref = QUrl::fromPercentEncoding(ref.toUtf8());
  // A control character has no place in a file name we send: FTP commands
  // end at a line break, so one could smuggle in a second command.
  for (const QChar c : ref)
    if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == u'\\') return {};
  if (ref.endsWith(u'/')) return {};
  return ref;
}

std::optional<QString> insideFolderPath(const QString& reference, const QString& fromFolder) {
  const QString ref = relativeFile(reference);
  if (ref.isEmpty()) return std::nullopt;
  QStringList parts = fromFolder.isEmpty() ? QStringList{} : fromFolder.split(u'/');
  for (const QString& segment : ref.split(u'/')) {
    if (segment.isEmpty() || segment == u".") continue;
    if (segment == u"..") {
      if (parts.isEmpty()) return std::nullopt;
      parts.removeLast();
      continue;
    }
    if (segment.startsWith(u'.')) return std::nullopt;
    parts << segment;
  }
  if (parts.isEmpty()) return std::nullopt;
  return parts.join(u'/');
}

}  // namespace pagerefs
