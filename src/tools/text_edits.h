#pragma once

#include <QString>
#include <optional>

// The text edits the tool windows make to a page: string in, string out. The
// windows read the file, call one of these, and write the result back.
namespace textedits {

// Puts code directly before the closing head tag. The variants "</Head>",
// "</HEAD>", "</head>" are tried in that order; every occurrence of the first
// one found becomes code + "</head>". Nothing when none occurs.
std::optional<QString> insertHeadCode(QString page, const QString& code);

// "<title>" + text with &, < and > escaped + "</title>".
QString titleElement(const QString& text);

// Gives the page the title text, placed directly before the closing head tag
// ("</HEAD>" or else "</head>"; every occurrence of the one found becomes the
// title + "</head>"). Titles already in the head are removed first, so the
// page keeps one. Nothing when neither closing head tag occurs.
std::optional<QString> updatePageTitle(QString page, const QString& title);

// The back-button template with every "[LOCATION]" replaced by url as typed.
QString fillBackTemplate(const QString& templateText, const QString& url);

// The page with every exact, case-sensitive occurrence of tag replaced by
// code. An empty tag leaves the page as it is; an empty code removes the tags.
QString replaceTag(const QString& page, const QString& tag, const QString& code);

// The link the link builder drops into the code box: url and title go in as
// typed, neither trimmed nor escaped, since the user is writing HTML.
QString linkHtml(const QString& url, const QString& title);

}  // namespace textedits
