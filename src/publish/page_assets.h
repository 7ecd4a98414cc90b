#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// Which local files a page uses, read from its bytes alone. A page is a
// stranger's: these functions only ever name paths inside the page's own
// folder, so no reference can make a publish send a file from elsewhere.
namespace pageAssets {

// The raw values of the attributes that load or link a file (src, href,
// srcset, poster, data, background) and of url(...) in inline styles, in
// document order, duplicates kept.
QStringList referencesInPage(const QByteArray& page);

// The url(...) and @import references of a style sheet.
QStringList referencesInStyleSheet(const QByteArray& css);

// A reference as a '/'-separated path relative to the folder of the file
// that holds it (fromFolder, itself relative to the page folder, "" for the
// page folder): nothing for web addresses, site-absolute paths, fragments,
// a path that leaves the page folder, or one that names a hidden file or
// folder anywhere along the way.
std::optional<QString> insideFolderPath(const QString& reference, const QString& fromFolder = {});

}  // namespace pageAssets
