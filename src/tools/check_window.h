#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <atomic>

#include "files/site_check.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QThread;
class QTreeWidget;
class QTreeWidgetItem;
class WebBrowser;
class WebLinkCheck;

// The Check Pages window: every page of the list and the files it uses,
// checked before they go online, one row per problem. The pages are read
// on a worker thread so the window answers throughout; web addresses are
// asked afterwards when the user wants them. Enter or a double-click on a
// row shows its page in the main window at the problem. Modeless; closing
// it stops the check.
class frmCheck final : public QDialog {
  Q_OBJECT
 public:
  frmCheck(QComboBox* pageList, WebBrowser* browser, QWidget* parent = nullptr,
           QString settingsFile = sitecheck::defaultSettingsFile());
  ~frmCheck() override;

  bool busy() const;

 public slots:
  void cmdCheck_Click();
  void cmdCancel_Click();
  void lstProblems_DblClick(QTreeWidgetItem* item);

 signals:
  void checkDone();
  // A problem row was chosen: its file and line. A code view showing that
  // file puts its caret on the line; the page itself is shown in the
  // browser with the element scrolled into view.
  void problemChosen(const QString& file, int line);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  void txtMine_Change();
  void chkWebLinks_Click();
  void stopWorker();
  void takeProblems(const QList<pagecheck::Problem>& problems, qsizetype checked, qsizetype total);
  void pagesDone(const QList<sitecheck::WebAddress>& web, bool cancelled);
  void askWebAddresses();
  void webAnswered(int index, bool ok, const QString& why);
  void finish(bool cancelled);
  void showSummary(const QString& doing = {});
  void setRunning(bool running);
  void showInPage(const QString& page, const pagecheck::Locator& where);
  void locate(const pagecheck::Locator& where);

  QPointer<QComboBox> pageList_;
  QPointer<WebBrowser> browser_;
  QString settingsFile_;

  QTreeWidget* lstProblems = nullptr;
  QLineEdit* txtMine = nullptr;
  QCheckBox* chkWebLinks = nullptr;
  QLabel* lblSummary = nullptr;
  QProgressBar* prgCheck = nullptr;
  QPushButton* cmdCheck = nullptr;
  QPushButton* cmdCancel = nullptr;
  QPushButton* cmdClose = nullptr;

  QThread* worker_ = nullptr;
  std::atomic_bool cancel_ = false;
  int run_ = 0;  // which check the worker's news is about
  WebLinkCheck* web_ = nullptr;
  QList<sitecheck::WebAddress> addresses_;
  bool webAsked_ = false;  // the addresses of the last check were asked
  QList<pagecheck::Problem> problems_;
  qsizetype pages_ = 0;
  QString savedMine_;
  QMetaObject::Connection locating_;
};
