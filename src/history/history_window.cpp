#include "history/history_window.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

#include "editor/edit_session.h"
#include "editor/web_browser.h"
#include "files/v_file.h"
#include "history/history_questions.h"
#include "history/version_diff.h"
#include "widgets/msg_box.h"
#include "widgets/tips.h"
#include "widgets/twips.h"

namespace {

const QString kNow = QStringLiteral("as it is now");
constexpr int kIdRole = Qt::UserRole;

// Removed and added lines get a tint, so a change is seen before it is read.
void tintChanges(QPlainTextEdit* edit) {
  QList<QTextEdit::ExtraSelection> marks;
  for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
    const QString text = block.text();
    QColor tint;
    if (text.startsWith(QStringLiteral("- ")))
      tint = QColor(255, 220, 220);
    else if (text.startsWith(QStringLiteral("+ ")))
      tint = QColor(215, 245, 215);
    else
      continue;
    QTextEdit::ExtraSelection mark;
    mark.format.setBackground(tint);
    mark.format.setProperty(QTextFormat::FullWidthSelection, true);
    mark.cursor = QTextCursor(block);
    marks << mark;
  }
  edit->setExtraSelections(marks);
}

}  // namespace

frmHistory::frmHistory(QComboBox* pageList, WebBrowser* browser, QWidget* parent)
    : QDialog(parent), page_(pageList ? pageList->currentText() : QString()), browser_(browser) {
  setObjectName(QStringLiteral("frmHistory"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Page History"));
  buildControls();
  tips::set(this, {{"lstVersions", "The kept versions of the page, newest first"},
                   {"txtDiff",
                    "What the chosen version differs in from the page now: - only the version, + "
                    "only the page"},
                   {"cmdRestore", "Write the chosen version back into the page"},
                   {"cmdClose", "Close this window (Esc)"}});
  Form_Load();
}

void frmHistory::buildControls() {
  const double dpi = twips::dpiOf(this);
  resize(twips::toPixels(13500, dpi), twips::toPixels(8400, dpi));
  const int margin = twips::toPixels(180, dpi);

  lblPage = new QLabel(this);
  lblPage->setObjectName(QStringLiteral("lblPage"));
  // A file name is shown as it is, never read as markup.
  lblPage->setTextFormat(Qt::PlainText);

  lstVersions = new QListWidget(this);
  lstVersions->setObjectName(QStringLiteral("lstVersions"));
  txtDiff = new QPlainTextEdit(this);
  txtDiff->setObjectName(QStringLiteral("txtDiff"));
  txtDiff->setReadOnly(true);
  txtDiff->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtDiff->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

  cmdRestore = new QPushButton(QStringLiteral("Restore This Version"), this);
  cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
  cmdClose = new QPushButton(QStringLiteral("Close"), this);
  cmdClose->setObjectName(QStringLiteral("cmdClose"));

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(margin, margin, margin, margin);
  column->addWidget(lblPage);
  auto* panes = new QHBoxLayout;
  panes->addWidget(lstVersions, 0);
  panes->addWidget(txtDiff, 1);
  column->addLayout(panes, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdRestore);
  buttons->addWidget(cmdClose);
  column->addLayout(buttons);

  connect(lstVersions, &QListWidget::currentRowChanged, this, &frmHistory::lstVersions_Click);
  connect(cmdRestore, &QPushButton::clicked, this, &frmHistory::cmdRestore_Click);
  connect(cmdClose, &QPushButton::clicked, this, &frmHistory::cmdClose_Click);
}

void frmHistory::Form_Load() {
  lblPage->setText(QStringLiteral("Versions of %1").arg(QDir::toNativeSeparators(page_)));
  versions_ = history::versions(page_);
  const QSignalBlocker quiet(lstVersions);
  lstVersions->clear();
  lstVersions->addItem(kNow);
  for (const history::Version& v : versions_) {
    auto* item = new QListWidgetItem(history::versionLabel(v), lstVersions);
    item->setData(kIdRole, v.id);
  }
  // Every row readable whole; the comparison takes the rest of the width.
  lstVersions->setMinimumWidth(lstVersions->sizeHintForColumn(0) + 2 * lstVersions->frameWidth() +
                               lstVersions->verticalScrollBar()->sizeHint().width());
  // The newest version first: what the last change did.
  lstVersions->setCurrentRow(versions_.empty() ? 0 : 1);
  lstVersions_Click();
}

const history::Version* frmHistory::selectedVersion() const {
  const QListWidgetItem* item = lstVersions->currentItem();
  if (!item) return nullptr;
  const QString id = item->data(kIdRole).toString();
  for (const history::Version& v : versions_)
    if (v.id == id) return &v;
  return nullptr;
}

void frmHistory::lstVersions_Click() {
  const history::Version* version = selectedVersion();
  cmdRestore->setEnabled(version != nullptr);
  if (!version) {
    txtDiff->setPlainText(versions_.empty()
                              ? QStringLiteral("No earlier version of this page has been kept yet.")
                              : QStringLiteral("This is the page as it is now. Choose an earlier "
                                               "version to see what changed since."));
    tintChanges(txtDiff);
    return;
  }
  QByteArray kept, now;
  if (const Status read = history::readVersion(page_, *version, kept); !read) {
    txtDiff->setPlainText(QStringLiteral("This version cannot be shown: %1.").arg(read.why()));
    cmdRestore->setEnabled(false);
    tintChanges(txtDiff);
    return;
  }
  // A page that is gone can still be brought back from a version.
  if (!vFile::LoadBytes(now, page_)) now.clear();
  txtDiff->setPlainText(versiondiff::describeChanges(kept, now));
  tintChanges(txtDiff);
}

void frmHistory::cmdRestore_Click() {
  const history::Version* version = selectedVersion();
  if (!version) return;
  const QString id = version->id;
  if (!browser_) {
    restoreVersion(id);
    return;
  }
  // Unsaved edits of the page are settled first, so the restore and the
  // edits cannot overwrite each other.
  QPointer<frmHistory> self(this);
  browser_->session()->settleEdits([self, id](bool proceed) {
    if (self && proceed) self->restoreVersion(id);
  });
}

void frmHistory::restoreVersion(const QString& id) {
  const history::Version* version = nullptr;
  for (const history::Version& v : versions_)
    if (v.id == id) version = &v;
  if (!version) return;
  if (const Status restored = history::restore(page_, *version); !restored) {
    FileErrorMsg(QStringLiteral("save"), page_, restored.why(), this);
    return;
  }
  if (browser_) browser_->Navigate2(page_);
  // The restore is now the newest version: it can be taken back the same way.
  Form_Load();
  lstVersions->setCurrentRow(0);
}

void frmHistory::cmdClose_Click() { close(); }
