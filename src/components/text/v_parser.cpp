#include "text/v_parser.h"

#include <QStringMatcher>

namespace vParser {

QString ReplaceAll(const QString& text, const QString& find, const QString& replacement, int) {
  if (find.isEmpty()) return text;
  const QStringMatcher matcher(find, Qt::CaseSensitive);
  qsizetype at = matcher.indexIn(text, 0);
  if (at < 0) return text;

  // One pass: copy the stretch before each match, then the replacement. The
  // search resumes after the match, so inserted text is never searched.
  QString result;
  result.reserve(text.size() + (replacement.size() > find.size() ? 64 * replacement.size() : 0));
  qsizetype from = 0;
  while (at >= 0) {
    result.append(QStringView(text).mid(from, at - from));
    result.append(replacement);
    from = at + find.size();
    at = matcher.indexIn(text, from);
  }
  result.append(QStringView(text).mid(from));
  return result;
}

}  // namespace vParser
