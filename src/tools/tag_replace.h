#pragma once

#include <QString>

// The text work of the Insert Code window, kept free of widgets and files so
// that it can be checked on its own.
namespace tagreplace {

// The page with every exact, case-sensitive occurrence of tag replaced by
// code. An empty tag leaves the page as it is; an empty code removes the tags.
QString replaceTag(const QString& page, const QString& tag, const QString& code);

// The link the link builder drops into the code box: url and title go in as
// typed, neither trimmed nor escaped, since the user is writing HTML.
QString linkHtml(const QString& url, const QString& title);

}  // namespace tagreplace
