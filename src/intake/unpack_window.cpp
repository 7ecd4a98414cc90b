#include "intake/unpack_window.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <algorithm>

#include "intake/archive_names.h"
#include "widgets/msg_box.h"
#include "widgets/named.h"
#include "widgets/tips.h"
#include "widgets/twips.h"

namespace {

QString absoluteFolder(const QString& typed) {
  const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(typed.trimmed()));
  return QDir::isAbsolutePath(clean) ? clean : QDir::home().filePath(clean);
}

}  // namespace

frmUnpack::frmUnpack(const QString& archive, QWidget* parent) : QDialog(parent), archive_(archive) {
  setObjectName(QStringLiteral("frmUnpack"));
  setWindowTitle(kTitle);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  const double dpi = twips::dpiOf(this);
  setFixedSize(twips::toPixels(kClientWidth, dpi), twips::toPixels(kClientHeight, dpi));
  buildControls();
  tips::set(this, {{"txtUnpackTo", "The new folder the product is unpacked into"},
                   {"cmdBrowseUnpack", "Choose another place for the new folder"},
                   {"txtPassword", "The archive's password, if it has one"},
                   {"cmdUnpack", "Unpack the product into the folder (Enter)"},
                   {"cmdCancel", "Stop and take back what was unpacked (Esc)"}});
}

frmUnpack::~frmUnpack() {
  if (worker_) {
    // Closed with the program: stop the run and take it back before going.
    progress_->cancel = true;
    worker_->wait();
    delete worker_;
  }
}

void frmUnpack::buildControls() {
  lblUnpack = named(new QLabel(this), "lblUnpack");
  lblUnpack->setTextFormat(Qt::PlainText);
  lblUnpack->setWordWrap(true);
  lblUnpack->setText(
      QStringLiteral("Unpack \"%1\" into this new folder:").arg(QFileInfo(archive_).fileName()));
  twips::place(lblUnpack, 120, 120, 6960, 450);

  txtUnpackTo = named(new QLineEdit(this), "txtUnpackTo");
  txtUnpackTo->setText(unpack::defaultFolder(QDir::homePath(), archive_));
  twips::place(txtUnpackTo, 120, 600, 5400, 345);
  cmdBrowseUnpack = named(new QPushButton(QStringLiteral("Browse..."), this), "cmdBrowseUnpack");
  twips::place(cmdBrowseUnpack, 5640, 585, 1440, 375);

  lblPassword = named(new QLabel(QStringLiteral("Password:"), this), "lblPassword");
  twips::place(lblPassword, 120, 1080, 1200, 345);
  txtPassword = named(new QLineEdit(this), "txtPassword");
  txtPassword->setEchoMode(QLineEdit::Password);
  twips::place(txtPassword, 1320, 1065, 4200, 345);
  lblPassword->hide();
  txtPassword->hide();

  prgUnpack = named(new QProgressBar(this), "prgUnpack");
  prgUnpack->setRange(0, 1000);
  twips::place(prgUnpack, 120, 1500, 6960, 300);
  prgUnpack->hide();
  lblUnpackStatus = named(new QLabel(this), "lblUnpackStatus");
  lblUnpackStatus->setTextFormat(Qt::PlainText);
  lblUnpackStatus->setWordWrap(true);
  twips::place(lblUnpackStatus, 120, 1830, 6960, 345);

  cmdUnpack = named(new QPushButton(QStringLiteral("Unpack"), this), "cmdUnpack");
  twips::place(cmdUnpack, 3960, 2235, 1500, 405);
  cmdUnpack->setDefault(true);
  cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
  twips::place(cmdCancel, 5580, 2235, 1500, 405);

  tick_ = new QTimer(this);
  tick_->setInterval(100);
  connect(tick_, &QTimer::timeout, this, &frmUnpack::showProgress);
  connect(cmdUnpack, &QPushButton::clicked, this, &frmUnpack::cmdUnpack_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmUnpack::cmdCancel_Click);
  connect(cmdBrowseUnpack, &QPushButton::clicked, this, &frmUnpack::cmdBrowseUnpack_Click);
  cmdUnpack->setFocus();
}

void frmUnpack::cmdUnpack_Click() {
  if (worker_) return;
  if (txtUnpackTo->text().trimmed().isEmpty()) {
    MsgBox(QStringLiteral("Choose a folder to unpack into."), MsgButtons::OkOnly,
           MsgIcon::Information, kTitle, this);
    return;
  }
  folder_ = absoluteFolder(txtUnpackTo->text());
  progress_ = std::make_shared<unpack::Progress>();
  report_ = std::make_shared<unpack::Report>();
  worker_ = QThread::create([progress = progress_, report = report_, archive = archive_,
                             folder = folder_, password = txtPassword->text()] {
    *report = unpack::unpackArchive(archive, folder, password, *progress);
  });
  connect(worker_, &QThread::finished, this, &frmUnpack::runFinished);
  setRunning(true);
  lblUnpackStatus->setText(QStringLiteral("Unpacking..."));
  worker_->start();
}

void frmUnpack::cmdCancel_Click() { reject(); }

void frmUnpack::reject() {
  if (!worker_) {
    QDialog::reject();
    return;
  }
  // The window closes once the run has taken back what it unpacked.
  cancelled_ = true;
  progress_->cancel = true;
  cmdCancel->setEnabled(false);
  lblUnpackStatus->setText(QStringLiteral("Cancelling..."));
}

void frmUnpack::cmdBrowseUnpack_Click() {
  const QString start = QFileInfo(absoluteFolder(txtUnpackTo->text())).path();
  const QString picked = QFileDialog::getExistingDirectory(
      this, QStringLiteral("Unpack Into"), QFileInfo::exists(start) ? start : QDir::homePath());
  if (!picked.isEmpty()) txtUnpackTo->setText(unpack::folderIn(picked, archive_));
}

void frmUnpack::setRunning(bool running) {
  for (QWidget* w : {static_cast<QWidget*>(txtUnpackTo), static_cast<QWidget*>(cmdBrowseUnpack),
                     static_cast<QWidget*>(txtPassword), static_cast<QWidget*>(cmdUnpack)})
    w->setEnabled(!running);
  cmdCancel->setEnabled(true);
  prgUnpack->setValue(0);
  prgUnpack->setVisible(running);
  if (running)
    tick_->start();
  else
    tick_->stop();
}

void frmUnpack::showProgress() {
  const qint64 total = progress_->bytesTotal;
  const int entries = progress_->entriesTotal;
  if (total > 0)
    prgUnpack->setValue(int(std::min<qint64>(1000, progress_->bytesDone * 1000 / total)));
  else if (entries > 0)
    prgUnpack->setValue(std::min(1000, progress_->entriesDone * 1000 / entries));
  if (!cancelled_ && entries > 0)
    lblUnpackStatus->setText(
        QStringLiteral("Unpacking... %1 of %2").arg(int(progress_->entriesDone)).arg(entries));
}

void frmUnpack::runFinished() {
  worker_->wait();
  delete worker_;
  worker_ = nullptr;
  setRunning(false);
  const unpack::Report report = *report_;
  using Outcome = unpack::Report::Outcome;
  switch (report.outcome) {
    case Outcome::Unpacked:
    case Outcome::Stopped: {
      for (const QString& page : report.pages())
        pages_.append(QDir::toNativeSeparators(QDir(folder_).filePath(page)));
      const bool notable = report.outcome == Outcome::Stopped || !report.refused.isEmpty() ||
                           !report.renamed.isEmpty() || !report.damaged.isEmpty() ||
                           !report.leftPacked.isEmpty() || pages_.isEmpty();
      if (notable)
        MsgBox(unpack::summary(report, folder_), MsgButtons::OkOnly,
               report.outcome == Outcome::Stopped ? MsgIcon::Warning : MsgIcon::Information, kTitle,
               this);
      accept();
      return;
    }
    case Outcome::Cancelled:
      QDialog::reject();
      return;
    case Outcome::NeedsPassword:
      askPassword(
          QStringLiteral("This archive is protected by a password. Type the password, "
                         "then press Unpack."));
      break;
    case Outcome::WrongPassword:
      askPassword(QStringLiteral("The password is not right. Type it again, then press Unpack."));
      break;
    case Outcome::Refused:
      MsgBox(report.why, MsgButtons::OkOnly, MsgIcon::Warning, kTitle, this);
      QDialog::reject();
      return;
    case Outcome::Failed:
      // The folder or the disk failed: another folder may do.
      lblUnpackStatus->clear();
      MsgBox(report.why, MsgButtons::OkOnly, MsgIcon::Critical, kTitle, this);
      break;
  }
  // Cancel pressed while the run was ending for another reason.
  if (cancelled_) QDialog::reject();
}

void frmUnpack::askPassword(const QString& why) {
  lblPassword->show();
  txtPassword->show();
  lblUnpackStatus->setText(why);
  txtPassword->selectAll();
  txtPassword->setFocus();
}

namespace unpack {

QStringList unpackArchivesIn(const QStringList& paths, QWidget* parent) {
  QStringList result;
  for (const QString& path : paths) {
    if (!isArchiveFile(path)) {
      result.append(path);
      continue;
    }
    frmUnpack window(path, parent);
    if (window.exec() == QDialog::Accepted) result.append(window.pages());
  }
  return result;
}

void afterUnpacking(const QStringList& paths, QWidget* context,
                    std::function<void(const QStringList&)> then) {
  const bool anyArchive = std::any_of(paths.cbegin(), paths.cend(), isArchiveFile);
  if (!anyArchive) {
    then(paths);
    return;
  }
  QTimer::singleShot(0, context, [paths, context, then = std::move(then)] {
    then(unpackArchivesIn(paths, context));
  });
}

}  // namespace unpack
