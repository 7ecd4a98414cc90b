#include "publish/page_assets.h"

#include <QRegularExpression>
#include <QUrl>

namespace pageAssets {

namespace {

// Attribute values: name=value with double, single or no quotes. The name
// must start after white space so that "data-src" or "xhref" do not count.
const QRegularExpression& attributePattern() {
  static const QRegularExpression re(
      QStringLiteral(R"re((?:^|[\s"'/])(src|href|srcset|poster|data|background)\s*=\s*)re"
                     R"re((?:"([^"]*)"|'([^']*)'|([^\s>"'`=<]+)))re"),
      QRegularExpression::CaseInsensitiveOption);
  return re;
}

const QRegularExpression& urlPattern() {
  static const QRegularExpression re(
      QStringLiteral(R"re(url\(\s*(?:"([^"]*)"|'([^']*)'|([^)\s]*))\s*\))re"),
      QRegularExpression::CaseInsensitiveOption);
  return re;
}

const QRegularExpression& importPattern() {
  static const QRegularExpression re(QStringLiteral(R"re(@import\s+(?:"([^"]*)"|'([^']*)'))re"),
                                     QRegularExpression::CaseInsensitiveOption);
  return re;
}

QString firstCaptured(const QRegularExpressionMatch& m, int from) {
  for (int i = from; i <= m.lastCapturedIndex(); ++i)
    if (m.capturedStart(i) >= 0) return m.captured(i);
  return {};
}

// The few entities that appear inside attribute values of real pages.
QString decodeEntities(QString value) {
  if (!value.contains(QLatin1Char('&'))) return value;
  value.replace(QLatin1String("&amp;"), QLatin1String("&"), Qt::CaseInsensitive);
  value.replace(QLatin1String("&#32;"), QLatin1String(" "));
  value.replace(QLatin1String("&quot;"), QLatin1String("\""), Qt::CaseInsensitive);
  value.replace(QLatin1String("&#39;"), QLatin1String("'"));
  return value;
}

void appendUrls(const QString& text, QStringList& out) {
  auto it = urlPattern().globalMatch(text);
  while (it.hasNext()) out << firstCaptured(it.next(), 1);
}

}  // namespace

QStringList referencesInPage(const QByteArray& page) {
  // Latin-1 keeps every byte at its place; non-ASCII bytes of a UTF-8 name
  // are turned back into UTF-8 below.
  const QString text = QString::fromLatin1(page);
  QStringList out;
  auto it = attributePattern().globalMatch(text);
  while (it.hasNext()) {
    const auto m = it.next();
    const QString value = decodeEntities(firstCaptured(m, 2));
    if (m.captured(1).compare(QLatin1String("srcset"), Qt::CaseInsensitive) == 0) {
      // "a.jpg 1x, b.jpg 2x": each candidate's first word is the address.
      for (const QString& candidate : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString url = candidate.trimmed().section(QLatin1Char(' '), 0, 0);
        if (!url.isEmpty()) out << url;
      }
    } else {
      out << value;
    }
  }
  appendUrls(text, out);
  for (QString& ref : out) ref = QString::fromUtf8(ref.toLatin1());
  return out;
}

QStringList referencesInStyleSheet(const QByteArray& css) {
  const QString text = QString::fromLatin1(css);
  QStringList out;
  appendUrls(text, out);
  auto it = importPattern().globalMatch(text);
  while (it.hasNext()) out << firstCaptured(it.next(), 1);
  for (QString& ref : out) ref = QString::fromUtf8(ref.toLatin1());
  return out;
}

std::optional<QString> insideFolderPath(const QString& reference, const QString& fromFolder) {
  QString ref = reference.trimmed();
  // The query and fragment never name a different file.
  ref = ref.left(ref.indexOf(QLatin1Char('#')) >= 0 ? ref.indexOf(QLatin1Char('#')) : ref.size());
  ref = ref.left(ref.indexOf(QLatin1Char('?')) >= 0 ? ref.indexOf(QLatin1Char('?')) : ref.size());
  // Browsers read a backslash in a relative address as a slash.
  ref.replace(QLatin1Char('\\'), QLatin1Char('/'));
  if (ref.isEmpty() || ref.startsWith(QLatin1Char('/'))) return std::nullopt;
  // Any scheme (http:, mailto:, javascript:, data:, file:, C:) is not ours.
  static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
  if (scheme.match(ref).hasMatch()) return std::nullopt;
  // Decoded after the checks above, so "%2F" or "%2E%2E" cannot slip through
  // as text and then act as a separator or a parent step below.
  ref = QUrl::fromPercentEncoding(ref.toUtf8());
  // A control character has no place in a file name we send: FTP commands
  // end at a line break, so one could smuggle in a second command.
  for (const QChar c : ref)
    if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == QLatin1Char('\\')) return std::nullopt;

  QStringList parts = fromFolder.isEmpty() ? QStringList{} : fromFolder.split(QLatin1Char('/'));
  for (const QString& segment : ref.split(QLatin1Char('/'))) {
    if (segment.isEmpty() || segment == QLatin1String(".")) continue;
    if (segment == QLatin1String("..")) {
      if (parts.isEmpty()) return std::nullopt;
      parts.removeLast();
      continue;
    }
    if (segment.startsWith(QLatin1Char('.'))) return std::nullopt;
    parts << segment;
  }
  if (parts.isEmpty() || ref.endsWith(QLatin1Char('/'))) return std::nullopt;
  return parts.join(QLatin1Char('/'));
}

}  // namespace pageAssets
