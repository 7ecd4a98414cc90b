#include "tools/snippets_window.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>

#include "editor/code_view.h"
#include "editor/edit_session.h"
#include "editor/web_browser.h"
#include "files/v_file.h"
#include "tools/every_page.h"
#include "tools/my_code.h"
#include "widgets/msg_box.h"
#include "widgets/named.h"

namespace {

const QString kTitle = QStringLiteral("My Code");

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QString& tip) {
  auto* b = named(new QPushButton(text, parent), name);
  b->setToolTip(tip);
  // Enter in the name or the code must not delete or write anything.
  b->setAutoDefault(false);
  return b;
}

QString pageName(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  return name.isEmpty() ? QDir::toNativeSeparators(path) : name;
}

QString places(int n) {
  return n == 1 ? QStringLiteral("1 place") : QStringLiteral("%1 places").arg(n);
}

}  // namespace

frmSnippets::frmSnippets(QComboBox* pageList, WebBrowser* browser, InsertAtCaret insertAtCaret,
                         QWidget* parent)
    : QDialog(parent),
      pageList_(pageList),
      browser_(browser),
      insertAtCaret_(std::move(insertAtCaret)) {
  setObjectName(QStringLiteral("frmSnippets"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(kTitle);
  buildControls();
  loadStore();
  fillList(snippets_.isEmpty() ? -1 : 0);
}

void frmSnippets::buildControls() {
  resize(900, 620);
  lstSnippets = named(new QListWidget(this), "lstSnippets");
  lstSnippets->setToolTip(QStringLiteral("Your kept codes; choose one to see and change it"));
  cmdNewSnippet = button(this, "cmdNewSnippet", QStringLiteral("&New"),
                         QStringLiteral("Start a new piece of code (Alt+N)"));
  cmdDeleteSnippet = button(this, "cmdDeleteSnippet", QStringLiteral("&Delete"),
                            QStringLiteral("Delete the chosen code from My Code; pages keep "
                                           "their copy (Alt+D)"));
  cmdImport = button(this, "cmdImport", QStringLiteral("I&mport…"),
                     QStringLiteral("Add the codes of a My Code file, e.g. from another "
                                    "computer (Alt+M)"));
  cmdExport = button(this, "cmdExport", QStringLiteral("E&xport…"),
                     QStringLiteral("Write all your codes to a file to take them to another "
                                    "computer (Alt+X)"));

  auto* lblName = named(new QLabel(QStringLiteral("Name:"), this), "lblSnippetName");
  txtSnippetName = named(new QLineEdit(this), "txtSnippetName");
  txtSnippetName->setPlaceholderText(QStringLiteral("e.g. Buy Button"));
  txtSnippetName->setToolTip(QStringLiteral("The name the code is listed under (Alt+A)"));
  lblName->setText(QStringLiteral("N&ame:"));
  lblName->setBuddy(txtSnippetName);
  auto* lblCode = named(new QLabel(QStringLiteral("Code:"), this), "lblSnippetCode");
  txtSnippetCode = named(new QsciScintilla(this), "txtSnippetCode");
  setUpCodeEditor(txtSnippetCode);
  txtSnippetCode->setEolMode(QsciScintilla::EolUnix);
  txtSnippetCode->setMarginWidth(0, QStringLiteral("0999"));
  txtSnippetCode->setToolTip(
      QStringLiteral("The HTML code, exactly as it goes into your pages (Ctrl+S saves it)"));

  cmdSaveSnippet = button(this, "cmdSaveSnippet", QStringLiteral("&Save"),
                          QStringLiteral("Keep the name and code (Alt+S, Ctrl+S)"));
  cmdInsertSnippet = button(this, "cmdInsertSnippet", QStringLiteral("&Insert at the Caret"),
                            QStringLiteral("Put the code where you are working: the page being "
                                           "edited, or the code view (Alt+I)"));
  cmdInsertSnippet->setEnabled(bool(insertAtCaret_));

  lblUsedOn = named(new QLabel(this), "lblUsedOn");
  lblUsedOn->setTextFormat(Qt::PlainText);
  lblUsedOn->setToolTip(QStringLiteral("How many pages of the list hold this code"));
  lstUsedOn = named(new QListWidget(this), "lstUsedOn");
  lstUsedOn->setToolTip(
      QStringLiteral("The pages of the list that hold this code or its old "
                     "code"));
  cmdUpdatePages = button(this, "cmdUpdatePages", QStringLiteral("&Update Pages…"),
                          QStringLiteral("Put the new code in place of the old on these pages; "
                                         "asks first (Alt+U)"));
  cmdClose =
      button(this, "cmdClose", QStringLiteral("Close"), QStringLiteral("Close My Code (Esc)"));

  auto* left = new QVBoxLayout;
  left->addWidget(lstSnippets, 1);
  auto* listButtons = new QGridLayout;
  listButtons->addWidget(cmdNewSnippet, 0, 0);
  listButtons->addWidget(cmdDeleteSnippet, 0, 1);
  listButtons->addWidget(cmdImport, 1, 0);
  listButtons->addWidget(cmdExport, 1, 1);
  left->addLayout(listButtons);

  auto* right = new QVBoxLayout;
  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(lblName);
  nameRow->addWidget(txtSnippetName, 1);
  right->addLayout(nameRow);
  right->addWidget(lblCode);
  right->addWidget(txtSnippetCode, 3);
  auto* codeButtons = new QHBoxLayout;
  codeButtons->addWidget(cmdSaveSnippet);
  codeButtons->addWidget(cmdInsertSnippet);
  codeButtons->addStretch(1);
  right->addLayout(codeButtons);
  right->addWidget(lblUsedOn);
  right->addWidget(lstUsedOn, 2);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(cmdUpdatePages);
  bottom->addStretch(1);
  bottom->addWidget(cmdClose);
  right->addLayout(bottom);

  auto* columns = new QHBoxLayout(this);
  columns->addLayout(left, 1);
  columns->addLayout(right, 3);

  connect(lstSnippets, &QListWidget::itemSelectionChanged, this, &frmSnippets::lstSnippets_Click);
  connect(cmdNewSnippet, &QPushButton::clicked, this, &frmSnippets::cmdNewSnippet_Click);
  connect(cmdSaveSnippet, &QPushButton::clicked, this, &frmSnippets::cmdSaveSnippet_Click);
  connect(cmdDeleteSnippet, &QPushButton::clicked, this, &frmSnippets::cmdDeleteSnippet_Click);
  connect(cmdUpdatePages, &QPushButton::clicked, this, &frmSnippets::cmdUpdatePages_Click);
  connect(cmdInsertSnippet, &QPushButton::clicked, this, &frmSnippets::cmdInsertSnippet_Click);
  connect(cmdImport, &QPushButton::clicked, this, &frmSnippets::cmdImport_Click);
  connect(cmdExport, &QPushButton::clicked, this, &frmSnippets::cmdExport_Click);
  connect(cmdClose, &QPushButton::clicked, this, &frmSnippets::cmdClose_Click);
  auto* save = new QShortcut(QKeySequence::Save, this);
  connect(save, &QShortcut::activated, this, &frmSnippets::cmdSaveSnippet_Click);
}

void frmSnippets::loadStore() { snippets_ = mycode::load(this, &blocked_); }

void frmSnippets::fillList(int select) {
  {
    const QSignalBlocker quiet(lstSnippets);
    lstSnippets->clear();
    for (const Snippet& s : snippets_) lstSnippets->addItem(s.name);
    lstSnippets->setCurrentRow(select);
  }
  showSnippet(select);
}

void frmSnippets::showSnippet(int index) {
  current_ = index >= 0 && index < snippets_.size() ? index : -1;
  const Snippet shown = current_ >= 0 ? snippets_[current_] : Snippet{};
  txtSnippetName->setText(shown.name);
  txtSnippetCode->setText(shown.code);
  txtSnippetCode->setModified(false);
  cmdDeleteSnippet->setEnabled(current_ >= 0);
  cmdExport->setEnabled(!snippets_.isEmpty());
  for (QWidget* w : {static_cast<QWidget*>(cmdSaveSnippet), static_cast<QWidget*>(cmdNewSnippet),
                     static_cast<QWidget*>(cmdDeleteSnippet), static_cast<QWidget*>(cmdImport)})
    if (blocked_) w->setEnabled(false);
  refreshUsedOn();
}

QString frmSnippets::fieldCode() const {
  // The field holds LF line breaks; the code is kept as typed otherwise.
  return txtSnippetCode->text();
}

bool frmSnippets::fieldsChanged() const {
  const Snippet shown = current_ >= 0 ? snippets_[current_] : Snippet{};
  return txtSnippetName->text() != shown.name || fieldCode() != shown.code;
}

bool frmSnippets::settle() {
  if (!fieldsChanged() || blocked_) return true;
  const QString name = txtSnippetName->text().trimmed();
  const MsgAnswer answer =
      MsgBox(name.isEmpty() ? QStringLiteral("Save the new code?")
                            : QStringLiteral("Save changes to \"%1\"?").arg(name),
             MsgButtons::SaveDiscardCancel, MsgIcon::Question, kTitle, this);
  if (answer == MsgAnswer::Cancel) return false;
  if (answer == MsgAnswer::Discard) {
    const Snippet shown = current_ >= 0 ? snippets_[current_] : Snippet{};
    txtSnippetName->setText(shown.name);
    txtSnippetCode->setText(shown.code);
    return true;
  }
  cmdSaveSnippet_Click();
  return !fieldsChanged();
}

void frmSnippets::lstSnippets_Click() {
  const int row = lstSnippets->currentRow();
  if (row == current_) return;
  const bool go = settle();
  // A save fills the list afresh: the row chosen (or the one shown) again.
  {
    const QSignalBlocker quiet(lstSnippets);
    lstSnippets->setCurrentRow(go ? row : current_);
  }
  if (go) showSnippet(row);
}

void frmSnippets::cmdNewSnippet_Click() {
  if (!settle()) return;
  {
    const QSignalBlocker quiet(lstSnippets);
    lstSnippets->setCurrentRow(-1);
    lstSnippets->clearSelection();
  }
  showSnippet(-1);
  txtSnippetName->setFocus();
}

bool frmSnippets::store(const QList<Snippet>& before) {
  if (blocked_) return false;
  if (const Status saved = snippetstore::save(snippets_, snippetstore::file()); !saved) {
    FileErrorMsg(QStringLiteral("save"), snippetstore::file(), saved.why(), this);
    snippets_ = before;
    return false;
  }
  emit snippetstore::Notifier::instance()->changed();
  return true;
}

void frmSnippets::cmdSaveSnippet_Click() {
  const QString name = txtSnippetName->text().trimmed();
  const QString code = fieldCode();
  if (name.isEmpty()) {
    MsgBox(QStringLiteral("Please give the code a name."), MsgButtons::OkOnly, MsgIcon::Information,
           kTitle, this);
    txtSnippetName->setFocus();
    return;
  }
  if (code.trimmed().isEmpty()) {
    MsgBox(QStringLiteral("Please enter the code."), MsgButtons::OkOnly, MsgIcon::Information,
           kTitle, this);
    txtSnippetCode->setFocus();
    return;
  }
  for (int i = 0; i < snippets_.size(); ++i) {
    if (i != current_ && snippets_[i].name == name) {
      MsgBox(QStringLiteral("My Code already holds a code named \"%1\".").arg(name),
             MsgButtons::OkOnly, MsgIcon::Information, kTitle, this);
      return;
    }
  }
  const QList<Snippet> before = snippets_;
  int at = current_;
  if (at < 0) {
    snippets_.append(Snippet{name, code, {}});
    at = int(snippets_.size()) - 1;
  } else {
    snippets_[at] = snippetstore::withCode(snippets_[at], code);
    snippets_[at].name = name;
  }
  if (!store(before)) return;
  fillList(at);
}

void frmSnippets::cmdDeleteSnippet_Click() {
  if (current_ < 0) return;
  const QString name = snippets_[current_].name;
  if (MsgBox(QStringLiteral("Delete \"%1\" from My Code? The pages that hold it keep their copy.")
                 .arg(name),
             MsgButtons::YesNo, MsgIcon::Question, kTitle, this) != MsgAnswer::Yes)
    return;
  const QList<Snippet> before = snippets_;
  const int was = current_;
  snippets_.removeAt(was);
  if (!store(before)) return;
  fillList(std::min(was, int(snippets_.size()) - 1));
}

void frmSnippets::refreshUsedOn() {
  lstUsedOn->clear();
  uses_.clear();
  if (current_ < 0) {
    lblUsedOn->setText(QString());
    cmdUpdatePages->setEnabled(false);
    return;
  }
  const Snippet& s = snippets_[current_];
  QApplication::setOverrideCursor(Qt::WaitCursor);
  uses_ = snippetpages::usedOn(everypage::pagesFor(pageList_), QStringList{s.code} + s.earlier);
  QApplication::restoreOverrideCursor();
  for (const snippetpages::PageUse& p : uses_) {
    QString line;
    if (!p.failure.isEmpty())
      line = QStringLiteral("%1: %2").arg(pageName(p.path), p.failure);
    else if (p.use.old() > 0 && p.use.current() > 0)
      line = QStringLiteral("%1: %2, %3 with the old code")
                 .arg(pageName(p.path), places(p.use.current() + p.use.old()))
                 .arg(p.use.old());
    else if (p.use.old() > 0)
      line = QStringLiteral("%1: %2 with the old code").arg(pageName(p.path), places(p.use.old()));
    else if (p.use.current() > 0)
      line = QStringLiteral("%1: %2").arg(pageName(p.path), places(p.use.current()));
    if (line.isEmpty()) continue;
    auto* item = new QListWidgetItem(line, lstUsedOn);
    item->setToolTip(QDir::toNativeSeparators(p.path));
  }
  lblUsedOn->setText(snippetpages::summary(uses_));
  cmdUpdatePages->setEnabled(!snippetpages::outdated(uses_).isEmpty());
}

void frmSnippets::cmdUpdatePages_Click() {
  if (current_ < 0 || !settle()) return;
  refreshUsedOn();  // the pages as they are now, not as they were
  const int pages = int(snippetpages::outdated(uses_).size());
  if (pages == 0) {
    MsgBox(QStringLiteral("No page of the list holds an old code of \"%1\".")
               .arg(snippets_[current_].name),
           MsgButtons::OkOnly, MsgIcon::Information, kTitle, this);
    return;
  }
  const QString question = pages == 1
                               ? QStringLiteral("Replace the old code on 1 page?")
                               : QStringLiteral("Replace the old code on %1 pages?").arg(pages);
  if (MsgBox(question, MsgButtons::YesNo, MsgIcon::Question, kTitle, this) != MsgAnswer::Yes)
    return;
  if (!browser_) {
    runUpdate();
    return;
  }
  // Unsaved edits of a page in the main window are settled first, so the
  // update and the edits cannot overwrite each other.
  QPointer<frmSnippets> self(this);
  browser_->session()->settleEdits([self](bool proceed) {
    if (self && proceed) self->runUpdate();
  });
}

void frmSnippets::runUpdate() {
  if (current_ < 0) return;
  const QList<pagebatch::PageOutcome> outcomes =
      snippetpages::update(uses_, snippets_[current_].code);
  bool failed = false;
  bool currentWritten = false;
  const QString shown = pageList_ ? pageList_->currentText() : QString();
  for (const pagebatch::PageOutcome& o : outcomes) {
    failed = failed || !o.failure.isEmpty();
    currentWritten = currentWritten ||
                     (o.changes > 0 && !shown.isEmpty() && QFileInfo(o.path) == QFileInfo(shown));
  }
  if (browser_ && currentWritten) browser_->Navigate2(shown);
  MsgBox(pagebatch::replaceReport(outcomes), MsgButtons::OkOnly,
         failed ? MsgIcon::Warning : MsgIcon::Information, kTitle, this);
  refreshUsedOn();
}

void frmSnippets::cmdInsertSnippet_Click() {
  const QString code = fieldCode();
  if (insertAtCaret_ && !code.isEmpty()) insertAtCaret_(code);
}

void frmSnippets::importFrom(const QString& path) {
  QByteArray bytes;
  if (const Status read = vFile::LoadBytes(bytes, path); !read) {
    FileErrorMsg(QStringLiteral("read"), path, read.why(), this);
    return;
  }
  QString why;
  const std::optional<QList<Snippet>> imported = snippetstore::fromBytes(bytes, &why);
  if (!imported) {
    MsgBox(QStringLiteral("%1 was not imported: %2.").arg(QFileInfo(path).fileName(), why),
           MsgButtons::OkOnly, MsgIcon::Warning, kTitle, this);
    return;
  }
  const QList<Snippet> before = snippets_;
  const QStringList added = snippetstore::merge(snippets_, *imported);
  if (!added.isEmpty() && !store(before)) return;
  fillList(current_ >= 0 ? current_ : (snippets_.isEmpty() ? -1 : 0));
  MsgBox(added.isEmpty() ? QStringLiteral("My Code already holds every code of this file.")
         : added.size() == 1
             ? QStringLiteral("1 code was added: %1").arg(added.first())
             : QStringLiteral("%1 codes were added: %2").arg(added.size()).arg(added.join(", ")),
         MsgButtons::OkOnly, MsgIcon::Information, kTitle, this);
}

void frmSnippets::exportTo(const QString& path) {
  constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
  if (const Status written =
          vFile::WriteWhole(snippetstore::toBytes(snippets_), path, {kOwnerOnly, {}});
      !written) {
    FileErrorMsg(QStringLiteral("save"), path, written.why(), this);
    return;
  }
  MsgBox(QStringLiteral("Your codes were written to %1.").arg(QDir::toNativeSeparators(path)),
         MsgButtons::OkOnly, MsgIcon::Information, kTitle, this);
}

void frmSnippets::cmdImport_Click() {
  if (!settle()) return;
  const QString path =
      QFileDialog::getOpenFileName(this, QStringLiteral("Import My Code"), QDir::homePath(),
                                   QStringLiteral("My Code files (*.json);;All files (*)"));
  if (!path.isEmpty()) importFrom(path);
}

void frmSnippets::cmdExport_Click() {
  const QString path = QFileDialog::getSaveFileName(
      this, QStringLiteral("Export My Code"), QDir::home().filePath(QStringLiteral("my-code.json")),
      QStringLiteral("My Code files (*.json)"));
  if (!path.isEmpty()) exportTo(path);
}

void frmSnippets::cmdClose_Click() { close(); }

void frmSnippets::reject() {
  if (settle()) QDialog::reject();
}

void frmSnippets::closeEvent(QCloseEvent* event) {
  if (!settle()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}
