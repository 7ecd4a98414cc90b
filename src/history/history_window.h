#pragma once

#include <QDialog>
#include <vector>

#include "files/page_history.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class WebBrowser;

// The Page History window: the kept versions of the current page, what each
// differs in from the page as it is now, and a way to bring one back.
class frmHistory final : public QDialog {
  Q_OBJECT
 public:
  frmHistory(QComboBox* pageList, WebBrowser* browser, QWidget* parent = nullptr);

  // The page the window shows, fixed when it opened: a restore writes there.
  const QString& page() const { return page_; }

 public slots:
  void Form_Load();
  void lstVersions_Click();
  void cmdRestore_Click();
  void cmdClose_Click();

 private:
  void buildControls();
  void restoreVersion(const QString& id);
  const history::Version* selectedVersion() const;

  QString page_;
  WebBrowser* browser_;
  std::vector<history::Version> versions_;

  QLabel* lblPage = nullptr;
  QListWidget* lstVersions = nullptr;
  QPlainTextEdit* txtDiff = nullptr;
  QPushButton* cmdRestore = nullptr;
  QPushButton* cmdClose = nullptr;
};
