#include "intake/drive_list.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

namespace {

QString nativeRoot(const QStorageInfo& volume) {
  return QDir::toNativeSeparators(volume.rootPath());
}

}  // namespace

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
  refresh();
  connect(this, &QComboBox::currentIndexChanged, this, &DriveList::Change);
}

QString DriveList::drive() const { return currentData().toString(); }

void DriveList::refresh() {
  const QString chosen = drive();
  QStringList roots;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    // Containers mount single files too; only folders can be browsed.
    if (volume.isValid() && QFileInfo(volume.rootPath()).isDir()) roots.append(nativeRoot(volume));
  }
  std::sort(roots.begin(), roots.end(), [](const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
  });
  roots.removeDuplicates();
  const QSignalBlocker quiet(this);
  clear();
  for (const QString& root : roots) addItem(root, root);
  const int keep = findData(chosen);
  setCurrentIndex(keep >= 0 ? keep : (count() > 0 ? 0 : -1));
}

void DriveList::setDrive(const QString& path) {
  const QString root = nativeRoot(QStorageInfo(path));
  if (root.isEmpty()) return;
  int index = findData(root);
  if (index < 0) {
    addItem(root, root);
    index = count() - 1;
  }
  setCurrentIndex(index);
}
