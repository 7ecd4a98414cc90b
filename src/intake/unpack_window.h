#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>

#include "intake/archive_unpack.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QThread;
class QTimer;

// "Unpack Product": asks where an archive goes (a new folder under
// ~/Quorvane Pages by default), unpacks it on a worker thread while the
// window stays responsive, and asks for the password when there is one.
// Cancel, Esc or the close box during the run stop it and take back what it
// unpacked. Accepted once files were unpacked; pages() then lists the pages.
class frmUnpack final : public QDialog {
  Q_OBJECT
 public:
  explicit frmUnpack(const QString& archive, QWidget* parent = nullptr);
  ~frmUnpack() override;

  static constexpr int kClientWidth = 7200;  // twips
  static constexpr int kClientHeight = 2760;
  static inline const QString kTitle = QStringLiteral("Unpack Product");

  // Full paths of the unpacked pages, sales page first.
  QStringList pages() const { return pages_; }
  bool isRunning() const { return worker_ != nullptr; }

 public slots:
  void cmdUnpack_Click();
  void cmdCancel_Click();
  void cmdBrowseUnpack_Click();
  void reject() override;

 private:
  void buildControls();
  void setRunning(bool running);
  void showProgress();
  void runFinished();
  void askPassword(const QString& why);

  QString archive_;
  QString folder_;  // of the current or last run
  QStringList pages_;
  QThread* worker_ = nullptr;
  std::shared_ptr<unpack::Progress> progress_;
  std::shared_ptr<unpack::Report> report_;
  bool cancelled_ = false;

  QLabel* lblUnpack = nullptr;
  QLineEdit* txtUnpackTo = nullptr;
  QPushButton* cmdBrowseUnpack = nullptr;
  QLabel* lblPassword = nullptr;
  QLineEdit* txtPassword = nullptr;
  QProgressBar* prgUnpack = nullptr;
  QLabel* lblUnpackStatus = nullptr;
  QPushButton* cmdUnpack = nullptr;
  QPushButton* cmdCancel = nullptr;
  QTimer* tick_ = nullptr;
};

namespace unpack {

// Runs the unpack window for each archive among paths, in order. Returns the
// paths with each archive replaced by its pages (by nothing when it was not
// unpacked); other paths stay as they are.
QStringList unpackArchivesIn(const QStringList& paths, QWidget* parent);

// For a drop handler: hands `then` the dropped paths with their archives
// unpacked. Without archives at once; with archives once the drop itself has
// returned, so the program the files came from is not held up by the window.
void afterUnpacking(const QStringList& paths, QWidget* context,
                    std::function<void(const QStringList&)> then);

}  // namespace unpack
