#include "tools/text_edits.h"

#include <QStringMatcher>
#include <array>
#include <cstring>
#include <vector>

#include "text/splice.h"
#include "text/v_parser.h"

namespace textedits {

namespace {

const QString kHeadClose = QStringLiteral("</head>");
constexpr qsizetype kTagLength = 7;  // every closing head tag variant

// The closing head tags written in one of the three forms, by form, in one
// pass: a search for '/' is fast, and each hit needs only a short look around.
enum HeadForm { Capitalised, Upper, Lower, kForms };
using HeadTags = std::array<std::vector<qsizetype>, kForms>;

HeadTags closingHeadTags(QStringView text) {
  HeadTags found;
  for (qsizetype slash = text.indexOf(u'/'); slash >= 0; slash = text.indexOf(u'/', slash + 1)) {
    if (slash == 0 || text[slash - 1] != u'<' || slash + kTagLength - 1 > text.size()) continue;
    const QStringView name = text.mid(slash + 1, kTagLength - 2);
    if (name == u"head>")
      found[Lower].push_back(slash - 1);
    else if (name == u"HEAD>")
      found[Upper].push_back(slash - 1);
    else if (name == u"Head>")
      found[Capitalised].push_back(slash - 1);
  }
  return found;
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

std::optional<QString> insertHeadCode(QString page, const QString& code) {
  const HeadTags tags = closingHeadTags(page);
  for (const HeadForm form : {Capitalised, Upper, Lower})
    if (!tags[form].empty())
      return splice::replaceAt(std::move(page), tags[form], kTagLength, QString(code + kHeadClose));
  return std::nullopt;
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

std::optional<QString> updatePageTitle(QString page, const QString& title) {
  const HeadTags tags = closingHeadTags(page);
  const HeadForm form = !tags[Upper].empty() ? Upper : Lower;
  if (tags[form].empty()) return std::nullopt;
  // Every title before the last closing head tag goes, so the titles put
  // before each occurrence by an earlier update are all replaced.
  QString stripped = withoutHeadTitles(page, tags[form].back());
  const QString element = titleElement(title) + kHeadClose;
  if (stripped.size() == page.size()) {
    stripped.clear();  // shares page's text; let page be edited in place
    return splice::replaceAt(std::move(page), tags[form], kTagLength, element);
  }
  page.clear();
  const std::vector<qsizetype> at = closingHeadTags(stripped)[form];
  return splice::replaceAt(std::move(stripped), at, kTagLength, element);
}

QString fillBackTemplate(const QString& templateText, const QString& url) {
  return vParser::ReplaceAll(templateText, QStringLiteral("[LOCATION]"), url, 0);
}

QString replaceTag(const QString& page, const QString& tag, const QString& code) {
  return vParser::ReplaceAll(page, tag, code, 0);
}

QString linkHtml(const QString& url, const QString& title) {
  return QStringLiteral("<a href=\"") + url + QStringLiteral("\">") + title +
         QStringLiteral("</a>");
}

}  // namespace textedits
