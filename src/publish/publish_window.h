#pragma once

#include <QDialog>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "files/site_check.h"
#include "publish/publish_files.h"
#include "publish/site_store.h"
#include "publish/transfer.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QThread;
class QTreeWidget;
class PasswordStore;

// Where the window keeps what it remembers and finds OpenSSH's host keys;
// tests point both into a temporary folder.
struct PublishPaths final {
  QString settingsFile = SiteStore::defaultFile();
  QString knownHostsFile = defaultKnownHosts();
  QString checkSettingsFile = sitecheck::defaultSettingsFile();  // the user's own accounts
  static QString defaultKnownHosts();
};

// The Publish window: the site, the files that will go (each with its size
// and whether it changed since the last publish there), and the transfer,
// which runs on a worker thread so the window answers while it runs. Publish
// checks the pages first and asks about their errors, then lists the files
// again: what goes is what the files hold when the user presses it.
class frmPublish final : public QDialog {
  Q_OBJECT
 public:
  explicit frmPublish(QComboBox* pageList, QWidget* parent = nullptr, PublishPaths paths = {});
  ~frmPublish() override;

  bool busy() const { return worker_ != nullptr; }

  // What "Show" does when the check before a publish found errors: the
  // window closes, then this opens the check window.
  void setShowCheck(std::function<void()> showCheck) { showCheck_ = std::move(showCheck); }

 signals:
  // A test of the connection or a publish ended (after any question).
  void operationFinished(bool ok);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  enum class Operation { Test, Publish };

  void buildControls();
  void cboProtocol_Click();
  void cmdTest_Click();
  void cmdPublish_Click();
  void cmdCancel_Click();
  void checkPages();
  void pagesChecked(qsizetype errors);
  void publishWhatIsThereNow();
  QStringList pages() const;
  void scanFiles();
  void showStates();
  void loadPassword();
  void rememberPassword();

  Site currentSite() const;
  SiteFields currentFields() const;
  bool refuseIncompleteSite();
  void start(Operation op, std::vector<UploadItem> items = {});
  void finish(Operation op, const Outcome& outcome, int sent);
  // Asks about an unknown identity; true when the user trusts it (the
  // caller runs the operation again).
  bool askToTrust(const Outcome& outcome);
  void setRunning(bool running);

  QComboBox* pageList_;
  PublishPaths paths_;
  std::unique_ptr<SiteStore> store_;
  PasswordStore* passwords_ = nullptr;
  bool keyringAvailable_ = true;
  Protocol shownProtocol_ = Protocol::Sftp;

  QComboBox* cboProtocol = nullptr;
  QLineEdit* txtHost = nullptr;
  QLineEdit* txtPort = nullptr;
  QLineEdit* txtUser = nullptr;
  QLineEdit* txtPassword = nullptr;
  QCheckBox* chkRemember = nullptr;
  QLabel* lblKeyring = nullptr;
  QLineEdit* txtRemoteFolder = nullptr;
  QLabel* lblSecurity = nullptr;
  QTreeWidget* lstFiles = nullptr;
  QPushButton* cmdTest = nullptr;
  QPushButton* cmdPublish = nullptr;
  QProgressBar* prgUpload = nullptr;
  QPushButton* cmdCancel = nullptr;
  QPushButton* cmdClose = nullptr;

  std::function<void()> showCheck_;
  std::vector<PublishFile> files_;
  std::vector<UploadItem> sending_;
  std::vector<bool> sent_;  // which of sending_ are in place
  QThread* worker_ = nullptr;
  std::atomic_bool cancel_ = false;
  qint64 totalBytes_ = 0;
};
