#include "files/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

QString identityOf(const QString& path) {
  const QFileInfo info(path);
  const QString real = info.canonicalFilePath();
  return real.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : real;
}

QString regularFileInside(const QString& path, const QString& folder) {
  const QString real = QFileInfo(path).canonicalFilePath();
  QString root = QFileInfo(folder).canonicalFilePath();
  if (real.isEmpty() || root.isEmpty() || !QFileInfo(real).isFile()) return {};
  if (!root.endsWith(u'/')) root += u'/';
  if (!real.startsWith(root)) return {};
  for (const QStringView part : QStringView(real).sliced(root.size()).split(u'/'))
    if (part.startsWith(u'.')) return {};
  return real;
}

}  // namespace paths
