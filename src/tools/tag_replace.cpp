#include "tools/tag_replace.h"

#include "text/v_parser.h"

namespace tagreplace {

QString replaceTag(const QString& page, const QString& tag, const QString& code) {
  return vParser::ReplaceAll(page, tag, code, 0);
}

QString linkHtml(const QString& url, const QString& title) {
  return QStringLiteral("<a href=\"") + url + QStringLiteral("\">") + title +
         QStringLiteral("</a>");
}

}  // namespace tagreplace
