#include "tools/page_edits.h"

#include <QStringMatcher>
#include <array>

#include "components/v_parser.h"

namespace pageedits {

namespace {

const QString kHeadClose = QStringLiteral("</head>");

// The first of the variants that occurs anywhere in text, in the given order.
template <std::size_t N>
std::optional<QString> firstVariantIn(const QString& text, const std::array<QString, N>& variants) {
  for (const QString& v : variants)
    if (text.contains(v, Qt::CaseSensitive)) return v;
  return std::nullopt;
}

// Removes the title elements that stand wholly before limit (open tag in one
// of the three written forms up to the next closing title tag in any case).
// A title whose end is missing or lies beyond limit is left as it is: its
// extent is unknown, and cutting it could take page text with it.
QString withoutHeadTitles(const QString& page, qsizetype limit) {
  static const std::array<QStringMatcher, 3> opens{QStringMatcher(QStringLiteral("<Title>")),
                                                   QStringMatcher(QStringLiteral("<TITLE>")),
                                                   QStringMatcher(QStringLiteral("<title>"))};
  static const QStringMatcher close(QStringLiteral("</title>"), Qt::CaseInsensitive);
  constexpr qsizetype kOpenLength = 7;
  constexpr qsizetype kCloseLength = 8;

  // Next position of each open form, searched again only once passed.
  std::array<qsizetype, 3> next{};
  for (std::size_t i = 0; i < opens.size(); ++i) next[i] = opens[i].indexIn(page, 0);

  QString result;
  qsizetype copied = 0;
  for (;;) {
    qsizetype open = -1;
    for (const qsizetype at : next)
      if (at >= 0 && (open < 0 || at < open)) open = at;
    if (open < 0 || open >= limit) break;
    const qsizetype closeAt = close.indexIn(page, open + kOpenLength);
    if (closeAt < 0 || closeAt + kCloseLength > limit) break;
    const qsizetype end = closeAt + kCloseLength;
    if (result.isNull()) result.reserve(page.size());
    result.append(QStringView(page).mid(copied, open - copied));
    copied = end;
    for (std::size_t i = 0; i < opens.size(); ++i)
      if (next[i] >= 0 && next[i] < end) next[i] = opens[i].indexIn(page, end);
  }
  if (copied == 0) return page;
  result.append(QStringView(page).mid(copied));
  return result;
}

}  // namespace

std::optional<QString> insertHeadCode(const QString& page, const QString& code) {
  static const std::array<QString, 3> variants{QStringLiteral("</Head>"), QStringLiteral("</HEAD>"),
                                               kHeadClose};
  const std::optional<QString> found = firstVariantIn(page, variants);
  if (!found) return std::nullopt;
  return vParser::ReplaceAll(page, *found, code + kHeadClose, 0);
}

QString titleElement(const QString& text) {
  QString escaped;
  escaped.reserve(text.size());
  for (const QChar c : text) {
    if (c == u'&')
      escaped += QStringLiteral("&amp;");
    else if (c == u'<')
      escaped += QStringLiteral("&lt;");
    else if (c == u'>')
      escaped += QStringLiteral("&gt;");
    else
      escaped += c;
  }
  return QStringLiteral("<title>") + escaped + QStringLiteral("</title>");
}

std::optional<QString> updatePageTitle(const QString& page, const QString& title) {
  static const std::array<QString, 2> variants{QStringLiteral("</HEAD>"), kHeadClose};
  const std::optional<QString> found = firstVariantIn(page, variants);
  if (!found) return std::nullopt;
  // Every title before the last closing head tag goes, so the titles put
  // before each occurrence by an earlier update are all replaced.
  const QString stripped = withoutHeadTitles(page, page.lastIndexOf(*found));
  return vParser::ReplaceAll(stripped, *found, titleElement(title) + kHeadClose, 0);
}

QString fillBackTemplate(const QString& templateText, const QString& url) {
  return vParser::ReplaceAll(templateText, QStringLiteral("[LOCATION]"), url, 0);
}

}  // namespace pageedits
