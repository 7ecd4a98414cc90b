#include "publish/publish_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "publish/password_store.h"
#include "publish/publish_plan.h"
#include "widgets/msg_box.h"
#include "widgets/named.h"
#include "widgets/tips.h"

namespace {

const QString kTitle = QStringLiteral("Publish");
constexpr int kStateRole = Qt::UserRole;  // the FileState a row shows

const char* stateText(FileState s) {
  switch (s) {
    case FileState::New:
      return "new";
    case FileState::Changed:
      return "changed";
    case FileState::Unchanged:
      return "unchanged";
  }
  return "";
}

QString fileCount(int n) {
  return n == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(n);
}

QString passwordAccount(const SiteFields& f) {
  return f.user + QLatin1Char('@') + f.host.toLower() + QLatin1Char(':') + QString::number(f.port);
}

}  // namespace

QString PublishPaths::defaultKnownHosts() {
  return QDir::homePath() + QStringLiteral("/.ssh/known_hosts");
}

frmPublish::frmPublish(QComboBox* pageList, QWidget* parent, PublishPaths paths)
    : QDialog(parent),
      pageList_(pageList),
      paths_(std::move(paths)),
      store_(std::make_unique<SiteStore>(paths_.settingsFile)) {
  setObjectName(QStringLiteral("frmPublish"));
  setWindowTitle(kTitle);
  setAttribute(Qt::WA_DeleteOnClose);
  Transfer::initialise();
  passwords_ = new PasswordStore(this);
  buildControls();
  tips::set(this, {{"cboProtocol", "How to reach your web host: SFTP, FTPS or FTP"},
                   {"txtHost", "Your web host's name, such as ftp.example.com"},
                   {"txtPort", "The port; it fills in with the protocol"},
                   {"txtUser", "Your user name at the web host"},
                   {"txtPassword", "Your password at the web host"},
                   {"chkRemember", "Keep the password in your desktop's keyring, never in a file"},
                   {"txtRemoteFolder", "The folder on the server, such as /public_html/offer"},
                   {"lstFiles", "The pages and the files they use; untick any to leave out"},
                   {"cmdTest", "Only log in, to check the settings"},
                   {"cmdPublish", "Check the pages and upload the ticked files (Enter)"},
                   {"cmdCancel", "Stop the upload"},
                   {"cmdClose", "Close this window (Esc)"}});

  const SiteFields last = store_->lastSite();
  cboProtocol->setCurrentIndex(static_cast<int>(last.protocol));
  shownProtocol_ = last.protocol;
  txtHost->setText(last.host);
  txtPort->setText(QString::number(last.port));
  txtUser->setText(last.user);
  txtRemoteFolder->setText(last.remoteFolder);
  cboProtocol_Click();
  scanFiles();
  loadPassword();
}

frmPublish::~frmPublish() {
  cancel_ = true;
  if (worker_) worker_->wait();
  delete worker_;
}

void frmPublish::buildControls() {
  resize(720, 560);
  auto* form = new QFormLayout;
  cboProtocol = named(new QComboBox(this), "cboProtocol");
  cboProtocol->addItems({QStringLiteral("SFTP"), QStringLiteral("FTPS"), QStringLiteral("FTP")});
  form->addRow(QStringLiteral("Protocol:"), cboProtocol);
  txtHost = named(new QLineEdit(this), "txtHost");
  txtHost->setPlaceholderText(QStringLiteral("ftp.example.com"));
  txtPort = named(new QLineEdit(this), "txtPort");
  txtPort->setValidator(new QIntValidator(1, 65535, txtPort));
  txtPort->setMaximumWidth(80);
  auto* hostRow = new QHBoxLayout;
  hostRow->addWidget(txtHost, 1);
  hostRow->addWidget(new QLabel(QStringLiteral("Port:"), this));
  hostRow->addWidget(txtPort);
  form->addRow(QStringLiteral("Host:"), hostRow);
  txtUser = named(new QLineEdit(this), "txtUser");
  form->addRow(QStringLiteral("User:"), txtUser);
  txtPassword = named(new QLineEdit(this), "txtPassword");
  txtPassword->setEchoMode(QLineEdit::Password);
  chkRemember = named(new QCheckBox(QStringLiteral("Remember password"), this), "chkRemember");
  auto* passwordRow = new QHBoxLayout;
  passwordRow->addWidget(txtPassword, 1);
  passwordRow->addWidget(chkRemember);
  form->addRow(QStringLiteral("Password:"), passwordRow);
  lblKeyring = named(new QLabel(this), "lblKeyring");
  lblKeyring->setWordWrap(true);
  lblKeyring->hide();
  form->addRow(QString(), lblKeyring);
  txtRemoteFolder = named(new QLineEdit(this), "txtRemoteFolder");
  txtRemoteFolder->setPlaceholderText(QStringLiteral("/public_html/offer"));
  form->addRow(QStringLiteral("Remote folder:"), txtRemoteFolder);
  lblSecurity = named(new QLabel(this), "lblSecurity");
  lblSecurity->setWordWrap(true);
  lblSecurity->setStyleSheet(QStringLiteral("color: #a00000;"));
  form->addRow(QString(), lblSecurity);

  lstFiles = named(new QTreeWidget(this), "lstFiles");
  lstFiles->setHeaderLabels(
      {QStringLiteral("File"), QStringLiteral("Size"), QStringLiteral("State")});
  lstFiles->setRootIsDecorated(false);
  lstFiles->header()->setSectionResizeMode(0, QHeaderView::Stretch);

  cmdTest = named(new QPushButton(QStringLiteral("Test Connection"), this), "cmdTest");
  cmdPublish = named(new QPushButton(QStringLiteral("Publish"), this), "cmdPublish");
  cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
  cmdClose = named(new QPushButton(QStringLiteral("Close"), this), "cmdClose");
  cmdCancel->setEnabled(false);
  cmdPublish->setDefault(true);
  prgUpload = named(new QProgressBar(this), "prgUpload");
  prgUpload->setRange(0, 1000);
  prgUpload->setValue(0);
  prgUpload->setFormat(QString());
  prgUpload->setTextVisible(true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdTest);
  buttons->addStretch(1);
  buttons->addWidget(cmdPublish);
  buttons->addWidget(cmdCancel);
  buttons->addWidget(cmdClose);

  auto* root = new QVBoxLayout(this);
  root->addLayout(form);
  root->addWidget(
      new QLabel(QStringLiteral("Files to upload (untick any to leave it out):"), this));
  root->addWidget(lstFiles, 1);
  root->addWidget(prgUpload);
  root->addLayout(buttons);

  connect(cboProtocol, &QComboBox::currentIndexChanged, this, &frmPublish::cboProtocol_Click);
  // Which files changed depends on the site; the password belongs to it.
  for (QLineEdit* e : {txtHost, txtUser, txtRemoteFolder})
    connect(e, &QLineEdit::editingFinished, this, &frmPublish::showStates);
  for (QLineEdit* e : {txtHost, txtUser, txtPort})
    connect(e, &QLineEdit::editingFinished, this, [this] {
      if (txtPassword->text().isEmpty()) loadPassword();
    });
  connect(cmdTest, &QPushButton::clicked, this, &frmPublish::cmdTest_Click);
  connect(cmdPublish, &QPushButton::clicked, this, &frmPublish::cmdPublish_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmPublish::cmdCancel_Click);
  connect(cmdClose, &QPushButton::clicked, this, &frmPublish::close);
}

void frmPublish::cboProtocol_Click() {
  const auto protocol = static_cast<Protocol>(std::max(cboProtocol->currentIndex(), 0));
  // The usual port follows the protocol unless the user typed another one.
  if (txtPort->text().isEmpty() || txtPort->text().toInt() == defaultPort(shownProtocol_))
    txtPort->setText(QString::number(defaultPort(protocol)));
  shownProtocol_ = protocol;
  const bool plain = protocol == Protocol::Ftp;
  lblSecurity->setText(plain ? QStringLiteral("With FTP your password and your pages travel "
                                              "unprotected. Choose SFTP or FTPS if your host "
                                              "offers them.")
                             : QString());
  lblSecurity->setVisible(plain);
}

SiteFields frmPublish::currentFields() const {
  SiteFields f;
  f.protocol = static_cast<Protocol>(std::max(cboProtocol->currentIndex(), 0));
  f.host = txtHost->text().trimmed();
  f.port = txtPort->text().toInt() > 0 ? txtPort->text().toInt() : defaultPort(f.protocol);
  f.user = txtUser->text().trimmed();
  f.remoteFolder = remotePaths::normalFolder(txtRemoteFolder->text());
  return f;
}

Site frmPublish::currentSite() const {
  const SiteFields f = currentFields();
  return Site{f.protocol, f.host, f.port, f.user, txtPassword->text(), f.remoteFolder};
}

QStringList frmPublish::pages() const {
  QStringList pages;
  for (int i = 0; i < pageList_->count(); ++i) pages << pageList_->itemText(i);
  pages.removeDuplicates();
  return pages;
}

void frmPublish::scanFiles() {
  // A tick the user set or cleared stays, as long as the file is as it was
  // shown; a file that changed since is ticked afresh by its new state.
  QHash<QString, QPair<int, bool>> userTicks;  // remote path -> state shown, ticked
  for (int i = 0; i < lstFiles->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = lstFiles->topLevelItem(i);
    const int shown = item->data(2, kStateRole).toInt();
    const bool ticked = item->checkState(0) == Qt::Checked;
    if (ticked != (shown != int(FileState::Unchanged)))
      userTicks.insert(item->text(0), {shown, ticked});
  }
  files_ = filesToPublish(pages());
  lstFiles->clear();
  for (const PublishFile& f : files_) {
    auto* item = new QTreeWidgetItem(lstFiles);
    item->setText(0, f.remotePath);
    item->setText(1, QLocale().formattedDataSize(f.size, 1, QLocale::DataSizeTraditionalFormat));
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setToolTip(0, f.localPath);
  }
  showStates();
  for (int i = 0; i < lstFiles->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = lstFiles->topLevelItem(i);
    const auto tick = userTicks.constFind(item->text(0));
    if (tick != userTicks.constEnd() && tick->first == item->data(2, kStateRole).toInt())
      item->setCheckState(0, tick->second ? Qt::Checked : Qt::Unchecked);
  }
}

void frmPublish::showStates() {
  const auto uploaded = store_->uploaded(currentFields());
  for (int i = 0; i < lstFiles->topLevelItemCount(); ++i) {
    const FileState s = stateOf(files_[std::size_t(i)], uploaded);
    QTreeWidgetItem* item = lstFiles->topLevelItem(i);
    item->setText(2, QString::fromLatin1(stateText(s)));
    item->setData(2, kStateRole, int(s));
    item->setCheckState(0, s == FileState::Unchanged ? Qt::Unchecked : Qt::Checked);
  }
}

void frmPublish::loadPassword() {
  const SiteFields f = currentFields();
  if (f.host.isEmpty() || f.user.isEmpty()) return;
  QPointer<frmPublish> self(this);
  passwords_->read(passwordAccount(f), [self](const QString& password, bool available) {
    if (!self) return;
    self->keyringAvailable_ = available;
    if (!available) {
      self->chkRemember->setChecked(false);
      self->chkRemember->setEnabled(false);
      self->lblKeyring->setText(
          QStringLiteral("No keyring is available on this system, so the "
                         "password is not remembered."));
      self->lblKeyring->show();
      return;
    }
    if (!password.isEmpty() && self->txtPassword->text().isEmpty()) {
      self->txtPassword->setText(password);
      self->chkRemember->setChecked(true);
    }
  });
}

void frmPublish::rememberPassword() {
  const SiteFields f = currentFields();
  if (!keyringAvailable_) return;
  if (!chkRemember->isChecked()) {
    passwords_->forget(passwordAccount(f));
    return;
  }
  QPointer<frmPublish> self(this);
  passwords_->write(passwordAccount(f), txtPassword->text(), [self](bool stored) {
    if (!self || stored) return;
    self->keyringAvailable_ = false;
    self->chkRemember->setChecked(false);
    self->chkRemember->setEnabled(false);
    self->lblKeyring->setText(
        QStringLiteral("The keyring did not take the password, so it is "
                       "not remembered."));
    self->lblKeyring->show();
  });
}

bool frmPublish::refuseIncompleteSite() {
  const SiteFields f = currentFields();
  if (!f.host.isEmpty() && !f.user.isEmpty()) return false;
  MsgBox(QStringLiteral("Please fill in the host and the user name."), MsgButtons::OkOnly,
         MsgIcon::Information, kTitle, this);
  return true;
}

void frmPublish::cmdTest_Click() {
  if (busy() || refuseIncompleteSite()) return;
  start(Operation::Test);
}

void frmPublish::cmdPublish_Click() {
  if (busy() || refuseIncompleteSite()) return;
  checkPages();
}

// The pages are checked on the worker thread (a thousand pages take a
// second or two); the window answers meanwhile, and Cancel or closing it
// stops the check.
void frmPublish::checkPages() {
  sitecheck::Options options;
  options.mine = pagecheck::Identities(sitecheck::savedIdentities(paths_.checkSettingsFile));
  cancel_ = false;
  setRunning(true);
  prgUpload->setRange(0, 0);
  prgUpload->setFormat(QStringLiteral("Checking the pages…"));
  QPointer<frmPublish> self(this);
  worker_ = QThread::create([self, pages = pages(), options, this] {
    const auto problems = sitecheck::checkPages(pages, options, &cancel_);
    const qsizetype errors =
        cancel_ ? -1 : sitecheck::countOf(problems, pagecheck::Severity::Error);
    QMetaObject::invokeMethod(self, [self, errors] {
      if (self) self->pagesChecked(errors);
    });
  });
  worker_->start();
}

void frmPublish::pagesChecked(qsizetype errors) {
  worker_->wait();
  delete worker_;
  worker_ = nullptr;
  setRunning(false);
  prgUpload->setRange(0, 1000);
  prgUpload->setValue(0);
  prgUpload->setFormat(QString());
  if (errors < 0) return;  // cancelled
  if (errors > 0) {
    const QString found = errors == 1
                              ? QStringLiteral("1 problem found on these pages.")
                              : QStringLiteral("%1 problems found on these pages.").arg(errors);
    const MsgAnswer answer = MsgBox(found + QStringLiteral(" Publish anyway?"),
                                    MsgButtons::YesNoShow, MsgIcon::Question, kTitle, this);
    if (answer == MsgAnswer::Show) {
      const auto show = showCheck_;
      close();
      if (show) show();
      return;
    }
    if (answer != MsgAnswer::Yes) return;
  }
  publishWhatIsThereNow();
}

void frmPublish::publishWhatIsThereNow() {
  // The list as the files are now: one changed while the window was open
  // is sent, and its state and checksum are of its bytes now.
  scanFiles();
  std::vector<bool> chosen;
  for (int i = 0; i < lstFiles->topLevelItemCount(); ++i)
    chosen.push_back(lstFiles->topLevelItem(i)->checkState(0) == Qt::Checked);
  std::vector<UploadItem> items = uploadItems(files_, store_->uploaded(currentFields()), chosen);
  if (items.empty()) {
    MsgBox(QStringLiteral("Nothing to upload: every file is as it was at the last publish. Tick "
                          "a file to send it again."),
           MsgButtons::OkOnly, MsgIcon::Information, kTitle, this);
    return;
  }
  start(Operation::Publish, std::move(items));
}

void frmPublish::cmdCancel_Click() { cancel_ = true; }

void frmPublish::setRunning(bool running) {
  for (QWidget* w :
       std::initializer_list<QWidget*>{cboProtocol, txtHost, txtPort, txtUser, txtPassword,
                                       txtRemoteFolder, lstFiles, cmdTest, cmdPublish})
    w->setEnabled(!running);
  chkRemember->setEnabled(!running && keyringAvailable_);
  cmdCancel->setEnabled(running);
}

void frmPublish::start(Operation op, std::vector<UploadItem> items) {
  const SiteFields fields = currentFields();
  store_->setLastSite(fields);
  store_->sync();
  const Site site = currentSite();
  Trust trust;
  trust.knownHostsFile = paths_.knownHostsFile;
  trust.acceptedHostKey = store_->acceptedHostKey(site.host, site.port);
  trust.pinnedCertificate = store_->pinnedCertificate(fields);

  if (op == Operation::Publish) {
    sending_ = items;
    sent_.assign(items.size(), false);
  }
  totalBytes_ = 0;
  for (const UploadItem& i : items) totalBytes_ += i.size;
  cancel_ = false;
  prgUpload->setValue(0);
  prgUpload->setFormat(op == Operation::Test ? QStringLiteral("Connecting…")
                                             : QStringLiteral("%p%"));
  setRunning(true);

  QPointer<frmPublish> self(this);
  const qint64 total = std::max<qint64>(totalBytes_, 1);
  worker_ = QThread::create([self, op, site, trust, items = std::move(items), total, this] {
    Transfer transfer(site, trust);
    if (op == Operation::Test) {
      const Outcome o = transfer.test();
      QMetaObject::invokeMethod(self, [self, o] {
        if (self) self->finish(Operation::Test, o, 0);
      });
      return;
    }
    QElapsedTimer shown;
    shown.start();
    int sent = 0;
    UploadCallbacks cb;
    cb.progress = [&](qint64 bytes, const QString& file) {
      // A few updates a second are enough for the eye and cheap for the loop.
      if (shown.elapsed() < 50) return;
      shown.restart();
      const int permille = int(bytes * 1000 / total);
      QMetaObject::invokeMethod(self, [self, permille, file] {
        if (!self) return;
        self->prgUpload->setValue(permille);
        self->prgUpload->setFormat(QStringLiteral("%p% – ") + file);
      });
    };
    cb.fileDone = [&](std::size_t index, const QByteArray& sha256) {
      ++sent;
      QMetaObject::invokeMethod(self, [self, index, sha256] {
        if (!self) return;
        const UploadItem& item = self->sending_[index];
        self->sent_[index] = true;
        const SiteFields f = self->currentFields();
        for (std::size_t i = 0; i < self->files_.size(); ++i) {
          if (self->files_[i].remotePath != item.remotePath) continue;
          // What was sent is what is remembered, even if the file changed
          // again between the listing and the send.
          self->files_[i].sha256 = sha256;
          self->store_->rememberUpload(f, item.remotePath, sha256);
          QTreeWidgetItem* row = self->lstFiles->topLevelItem(int(i));
          row->setText(2, QStringLiteral("sent"));
          row->setCheckState(0, Qt::Unchecked);
        }
      });
    };
    const Outcome o = transfer.upload(items, cb, cancel_);
    QMetaObject::invokeMethod(self, [self, o, sent] {
      if (self) self->finish(Operation::Publish, o, sent);
    });
  });
  worker_->start();
}

void frmPublish::finish(Operation op, const Outcome& outcome, int sent) {
  worker_->wait();
  delete worker_;
  worker_ = nullptr;
  store_->sync();
  setRunning(false);
  prgUpload->setFormat(QString());
  if (outcome.ok()) {
    prgUpload->setValue(op == Operation::Publish ? 1000 : 0);
    rememberPassword();
    if (op == Operation::Test)
      MsgBox(QStringLiteral("The connection works: Quorvane logged in to %1.")
                 .arg(txtHost->text().trimmed()),
             MsgButtons::OkOnly, MsgIcon::Information, kTitle, this);
    else
      MsgBox(QStringLiteral("Published: %1 uploaded.").arg(fileCount(sent)), MsgButtons::OkOnly,
             MsgIcon::Information, kTitle, this);
    showStates();
    emit operationFinished(true);
    return;
  }
  prgUpload->setValue(0);
  if (askToTrust(outcome)) {
    // Send only what is still to go; what went before the question is done.
    std::vector<UploadItem> rest;
    for (std::size_t i = 0; i < sending_.size(); ++i)
      if (op == Operation::Publish && !sent_[i]) rest.push_back(sending_[i]);
    start(op, std::move(rest));
    return;
  }
  QString message;
  if (outcome.failure == Failure::Cancelled)
    message = QStringLiteral(
                  "Publishing was cancelled after %1. The file being sent was "
                  "removed from the server, and its old copy there is untouched.")
                  .arg(fileCount(sent));
  else if (outcome.failure == Failure::HostKeyChanged)
    message = QStringLiteral(
                  "WARNING: the host key of %1 has changed!\n\nSomeone may be posing "
                  "as your server, so Quorvane did not log in and sent nothing. If "
                  "your host told you that it changed its key, compare the new "
                  "fingerprint with theirs and update ~/.ssh/known_hosts.\n\n"
                  "Fingerprint now presented: %2")
                  .arg(txtHost->text().trimmed(), outcome.fingerprint);
  else
    message = (op == Operation::Test ? QStringLiteral("The connection failed: %1.")
                                     : QStringLiteral("Publishing stopped: %1.\n\nFiles uploaded "
                                                      "before stay in place; nothing half-written "
                                                      "is left on the server."))
                  .arg(outcome.why);
  MsgBox(message, MsgButtons::OkOnly,
         outcome.failure == Failure::Cancelled ? MsgIcon::Information : MsgIcon::Critical, kTitle,
         this);
  showStates();
  emit operationFinished(false);
}

bool frmPublish::askToTrust(const Outcome& outcome) {
  if (outcome.presentedKey.isEmpty()) return false;
  const QString host = txtHost->text().trimmed();
  if (outcome.failure == Failure::HostKeyUnknown) {
    const QString q = QStringLiteral(
                          "Quorvane has not met the server %1 before. It presents a host key "
                          "with this fingerprint:\n\n%2\n\nIf your host shows you the same "
                          "fingerprint, answer Yes to trust this server from now on.")
                          .arg(host, outcome.fingerprint);
    if (MsgBox(q, MsgButtons::YesNo, MsgIcon::Question, kTitle, this) != MsgAnswer::Yes)
      return false;
    store_->acceptHostKey(host, currentFields().port, outcome.presentedKey);
    return true;
  }
  if (outcome.failure == Failure::CertificateUntrusted) {
    const QString q = QStringLiteral(
                          "The certificate of %1 is not vouched for by an authority this system "
                          "trusts (%2). Its key has this fingerprint:\n\n%3\n\nIf your host "
                          "shows you the same fingerprint, answer Yes to trust it for this site "
                          "from now on.")
                          .arg(host, outcome.why, outcome.fingerprint);
    if (MsgBox(q, MsgButtons::YesNo, MsgIcon::Question, kTitle, this) != MsgAnswer::Yes)
      return false;
    store_->pinCertificate(currentFields(), outcome.presentedKey);
    return true;
  }
  return false;
}

void frmPublish::closeEvent(QCloseEvent* event) {
  if (worker_) {
    // Stop the transfer cleanly (its temporary file is removed) first.
    cancel_ = true;
    worker_->wait();
  }
  QDialog::closeEvent(event);
}

void frmPublish::reject() {
  if (worker_) {
    cancel_ = true;
    return;
  }
  QDialog::reject();
}
