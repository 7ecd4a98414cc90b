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

}  // namespace paths
