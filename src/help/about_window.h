#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

class QLabel;
class QPushButton;
class QTreeWidget;

// About Quorvane: the version, the licence, the components with theirs, and
// where the page history and the settings are kept, with a button that
// opens the data folder.
class frmAbout final : public QDialog {
  Q_OBJECT
 public:
  explicit frmAbout(const QString& version, QWidget* parent = nullptr);

  // Opens a folder in the desktop's file manager; tests put their own here.
  std::function<bool(const QUrl&)> openFolder;

  // The folder cmdOpenFolder opens: the page history's.
  static QString dataFolder();
  static QString settingsFolder();

 public slots:
  void cmdOpenFolder_Click();

 private:
  QLabel* lblVersion = nullptr;
  QLabel* lblLicence = nullptr;
  QTreeWidget* lstComponents = nullptr;
  QLabel* lblDataFolder = nullptr;
  QPushButton* cmdOpenFolder = nullptr;
  QPushButton* cmdClose = nullptr;
};
