#pragma once

#include <QTreeWidget>

// A folder browser in one list: the current folder's ancestors from the root
// down, then its subfolders. Activating an entry (double-click, Enter) makes
// it the current folder.
class FolderList final : public QTreeWidget {
  Q_OBJECT
 public:
  explicit FolderList(QWidget* parent = nullptr);

  // The current folder, in native form.
  QString path() const { return path_; }
  // Makes `folder` current. A folder that cannot be listed (missing, not a
  // folder, unreadable) is refused: false, and nothing changes.
  bool setPath(const QString& folder);

 signals:
  // The current folder changed.
  void Change();

 private:
  void rebuild(const QString& folder, const QStringList& subfolders);

  QString path_;
};
