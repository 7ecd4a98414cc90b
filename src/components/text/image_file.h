#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Pictures put into a page: what a file holds, where a copy of it may go,
// and how the page names it. Pure functions.
namespace imagefile {

// "png", "jpeg", "gif", "webp" or "svg" by the file's content (its first
// bytes; an SVG by its root element), empty when it is none of them.
QString kindOf(const QByteArray& bytes);

// A file name in folder not taken yet: name itself, else "stem-2.ext",
// "stem-3.ext", ... exists tells whether a name is taken.
QString freeName(const QString& name, const std::function<bool(const QString&)>& exists);

// The src that reaches file from a page in pageFolder: relative, with "/"
// between folders and every byte but letters, digits and "-._~" escaped.
QString relativeSrc(const QString& pageFolder, const QString& file);

}  // namespace imagefile
