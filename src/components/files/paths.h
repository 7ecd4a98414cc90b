#pragma once

#include <QChar>
#include <QString>

// Joining the program's folder and a file name. Two rules are in use: the
// start page is joined as the two parts stand; the switch file and templates
// get exactly one separator at the join (a drive root "C:\" gives "C:\save.alt").
namespace paths {

QString joinAsTheyStand(const QString& folder, const QString& name, QChar separator);
QString joinOneSeparator(const QString& folder, const QString& name, QChar separator);

// The program's folder in native form, and the two joins applied to it.
QString executableFolder();
QString besideExecutable(const QString& name);      // one separator
QString besideExecutableAsIs(const QString& name);  // as they stand

// The one name of a page however it is written (a link, "./", a double
// slash): its real path, or its clean absolute path while it does not exist.
QString identityOf(const QString& path);

// The real place of path (links followed) when it is a regular file inside
// folder's tree (the folder's own links followed too) and no part of it below
// the folder is hidden; empty otherwise. A link inside the folder may point
// anywhere, so where a file really is decides, not how it is named.
QString regularFileInside(const QString& path, const QString& folder);

}  // namespace paths
