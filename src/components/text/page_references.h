#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

#include "text/markup_scan.h"

// Which files a page or a style sheet uses, read from its bytes alone: the
// values of the attributes that load or link a file (src, href, srcset,
// poster, data, background), url(...) in style attributes and style
// elements, and @import. One finder for every reader of references (the
// publish list, the page check), so they never disagree about what a page
// uses.
namespace pagerefs {

enum class Source {
  Markup,  // an attribute of a tag
  Style,   // url(...) or @import in a style attribute, a style element or a style sheet
  Hidden,  // inside a comment or a script: loaded only by old browsers or by the script
};

struct Reference final {
  QString value;         // as the browser reads it: entities decoded, UTF-8
  qsizetype at = 0;      // where it is written in the file
  QByteArray element;    // lower-case tag name; empty in a style sheet
  QByteArray attribute;  // lower-case attribute name, or "url" / "@import"
  // The whole value of the attribute holding it, as the browser reads it
  // (what finds the element again in the shown document).
  QString attributeValue;
  Source source = Source::Markup;
};

// Every reference of a page in document order, duplicates kept; hidden ones
// only when asked.
QList<Reference> inPage(QByteArrayView page, bool withHidden = true);

// The url(...) and @import references of a style sheet.
QList<Reference> inStyleSheet(QByteArrayView css);

// The building blocks, for a reader that scans the page itself: the
// references of one start tag (its style attribute included), and those of
// style text page[from, to).
void appendFromTag(const markupscan::Tag& tag, Source source, QList<Reference>& out);
void appendFromStyle(QByteArrayView page, qsizetype from, qsizetype to, Source source,
                     QList<Reference>& out, const QByteArray& element = {},
                     const QString& attributeValue = {});

// An attribute's value as the browser reads it: UTF-8, character references
// decoded ("&amp;" is "&"; "&copy=2" in an address stays as written).
QString attributeText(QByteArrayView raw);

// A reference as a '/'-separated path relative to the folder of the file
// that holds it (fromFolder, itself relative to the page folder, "" for the
// page folder): nothing for web addresses, site-absolute paths, fragments,
// a path that leaves the page folder, or one that names a hidden file or
// folder anywhere along the way.
std::optional<QString> insideFolderPath(const QString& reference, const QString& fromFolder = {});

// The file part of a relative reference: query and fragment dropped,
// backslashes read as slashes, percent escapes decoded. Empty for anything
// that is not a relative reference to a file (a scheme, "//host", "/path",
// "#x", a folder ending in "/", a control character).
QString relativeFile(const QString& reference);

}  // namespace pagerefs
