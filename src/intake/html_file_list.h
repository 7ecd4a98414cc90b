#pragma once

#include <QListWidget>

// The HTML files of one folder (*.htm and *.html in any letter case) and the
// archives a product may come in (.zip, .rar, .7z, .tar.gz), by name, without
// hidden files. One entry can be selected.
class HtmlFileList final : public QListWidget {
  Q_OBJECT
 public:
  explicit HtmlFileList(QWidget* parent = nullptr);

  // The folder shown, in native form.
  QString path() const { return path_; }
  // Shows the HTML files of `folder`; a folder that cannot be read shows none.
  void setPath(const QString& folder);

  // The full path of each page, in list order: the folder and the name
  // joined with exactly one separator. Archives are not pages.
  QStringList fullPaths() const;

  // The full path of the selected entry when it is an archive, else empty.
  QString selectedArchive() const;

 private:
  QString path_;
};
