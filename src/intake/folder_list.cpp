#include "intake/folder_list.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QStyle>

namespace {

constexpr int kPathRole = Qt::UserRole;

// The folder itself and every folder above it, root first.
QStringList ancestry(const QString& folder) {
  QStringList chain;
  QDir dir(folder);
  chain.prepend(dir.absolutePath());
  while (!dir.isRoot() && dir.cdUp()) chain.prepend(dir.absolutePath());
  return chain;
}

QString shownName(const QString& folder) {
  const QFileInfo info(folder);
  return QDir(folder).isRoot() ? QDir::toNativeSeparators(info.absoluteFilePath())
                               : info.fileName();
}

}  // namespace

FolderList::FolderList(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setIndentation(12);
  setUniformRowHeights(true);
  connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    if (item) setPath(item->data(0, kPathRole).toString());
  });
}

bool FolderList::setPath(const QString& folder) {
  const QFileInfo info(folder);
  if (folder.isEmpty() || !info.isDir() || !info.isReadable() || !info.isExecutable()) return false;
  const QString clean = QDir::cleanPath(info.absoluteFilePath());
  QDir dir(clean);
  if (!dir.isReadable()) return false;
  const QStringList subfolders =
      dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  rebuild(clean, subfolders);
  const QString native = QDir::toNativeSeparators(clean);
  if (native == path_) return true;
  path_ = native;
  emit Change();
  return true;
}

void FolderList::rebuild(const QString& folder, const QStringList& subfolders) {
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  setUpdatesEnabled(false);
  clear();
  QTreeWidgetItem* parent = nullptr;
  for (const QString& step : ancestry(folder)) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, shownName(step));
    item->setIcon(0, open);
    item->setData(0, kPathRole, step);
    parent = item;
  }
  QList<QTreeWidgetItem*> children;
  children.reserve(subfolders.size());
  const QDir dir(folder);
  for (const QString& name : subfolders) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, name);
    item->setIcon(0, closed);
    item->setData(0, kPathRole, dir.filePath(name));
    children.append(item);
  }
  parent->addChildren(children);
  expandAll();
  setCurrentItem(parent);
  setUpdatesEnabled(true);
}
