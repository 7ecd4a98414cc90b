#pragma once

#include <QDialog>
#include <QPointer>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class WebBrowser;

// Links on This Page: every address the page's links go to, how many go
// there and the first one's text. Choosing one shows those links in the
// page; Change Address sends all of them elsewhere in one edit.
class frmLinks final : public QDialog {
  Q_OBJECT
 public:
  explicit frmLinks(WebBrowser* browser, QWidget* parent = nullptr);

  // Reads the page's links into the list; loaded() follows.
  void refresh();

 signals:
  void loaded();

 public slots:
  void lstLinks_Click();
  void cmdReplaceUrl_Click();

 private:
  QString chosenHref() const;

  QPointer<WebBrowser> browser_;
  QString folder_;
  QListWidget* lstLinks = nullptr;
  QLineEdit* txtNewUrl = nullptr;
  QPushButton* cmdReplaceUrl = nullptr;
  QPushButton* cmdClose = nullptr;
};
