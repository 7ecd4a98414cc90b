#include "files/paths.h"

#include <QCoreApplication>
#include <QDir>

namespace paths {

QString joinAsTheyStand(const QString& folder, const QString& name, QChar separator) {
  return folder + separator + name;
}

QString joinOneSeparator(const QString& folder, const QString& name, QChar separator) {
  if (folder.endsWith(separator)) return folder + name;
  return folder + separator + name;
}

QString executableFolder() {
  return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString besideExecutable(const QString& name) {
  return joinOneSeparator(executableFolder(), name, QDir::separator());
}

QString besideExecutableAsIs(const QString& name) {
  return joinAsTheyStand(executableFolder(), name, QDir::separator());
}

}  // namespace paths
