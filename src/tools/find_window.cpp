#include "tools/find_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>

#include "editor/edit_session.h"
#include "editor/web_browser.h"
#include "tools/every_page.h"
#include "widgets/msg_box.h"
#include "widgets/named.h"
#include "widgets/tips.h"
#include "widgets/twips.h"

namespace {

constexpr int kSliceMs = 40;               // work between two looks at the user's input
constexpr qint64 kProgressAfterMs = 1000;  // shorter runs need no progress bar
constexpr int kPageRole = Qt::UserRole;
constexpr int kMatchRole = Qt::UserRole + 1;

QString plural(qsizetype n, const char* one, const char* many) {
  return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}

// A tool tip takes text that looks like markup for markup; a path (or any
// text from a page) must show as it is and load nothing.
QString plainTip(const QString& text) {
  return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped());
}

}  // namespace

frmFind::frmFind(QComboBox* pageList, WebBrowser* browser, QWidget* parent)
    : QDialog(parent), pageList_(pageList), browser_(browser) {
  setObjectName(QStringLiteral("frmFind"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Find and Replace"));
  buildControls();
  tips::set(this,
            {{"txtFind", "The text to find in the pages"},
             {"txtReplace", "The text to put in its place"},
             {"optText", "Find only what a visitor reads: never inside tags, addresses or scripts"},
             {"optCode", "Find the file's text exactly, tags and all"},
             {"chkMatchCase", "Tell capital letters from small ones"},
             {"chkWholeWord", "Find only whole words"},
             {"chkAllPages", "Search every page of the list, not only the current one"},
             {"cmdFind", "List every match (Enter)"},
             {"cmdReplace", "Replace the ticked matches and save those pages"},
             {"cmdClose", "Close this window (Esc)"},
             {"lstMatches",
              "Every match with its page, line and the words around it; untick what to leave"}});
}

void frmFind::buildControls() {
  const double dpi = twips::dpiOf(this);
  setFixedSize(twips::toPixels(9600, dpi), twips::toPixels(7080, dpi));

  lblFind = named(new QLabel(QStringLiteral("Find what:"), this), "lblFind");
  twips::place(lblFind, 240, 285, 1500, 255);
  txtFind = named(new QLineEdit(this), "txtFind");
  twips::place(txtFind, 1800, 240, 5400, 315);
  lblFind->setBuddy(txtFind);
  lblReplace = named(new QLabel(QStringLiteral("Replace with:"), this), "lblReplace");
  twips::place(lblReplace, 240, 705, 1500, 255);
  txtReplace = named(new QLineEdit(this), "txtReplace");
  twips::place(txtReplace, 1800, 660, 5400, 315);
  lblReplace->setBuddy(txtReplace);

  optText = named(new QRadioButton(QStringLiteral("Text on the page"), this), "optText");
  twips::place(optText, 1800, 1110, 2520, 285);
  optCode = named(new QRadioButton(QStringLiteral("HTML code"), this), "optCode");
  twips::place(optCode, 4440, 1110, 2520, 285);
  auto* modes = new QButtonGroup(this);
  modes->addButton(optText);
  modes->addButton(optCode);
  optText->setChecked(true);

  chkMatchCase = named(new QCheckBox(QStringLiteral("Match case"), this), "chkMatchCase");
  twips::place(chkMatchCase, 1800, 1440, 2520, 285);
  chkWholeWord = named(new QCheckBox(QStringLiteral("Whole words only"), this), "chkWholeWord");
  twips::place(chkWholeWord, 4440, 1440, 2520, 285);
  chkAllPages = named(new QCheckBox(QStringLiteral("All pages in the list"), this), "chkAllPages");
  twips::place(chkAllPages, 1800, 1770, 5160, 285);
  chkAllPages->setChecked(true);

  cmdFind = named(new QPushButton(QStringLiteral("Find"), this), "cmdFind");
  twips::place(cmdFind, 7440, 225, 1920, 405);
  cmdReplace = named(new QPushButton(QStringLiteral("Replace Checked"), this), "cmdReplace");
  twips::place(cmdReplace, 7440, 690, 1920, 405);
  cmdClose = named(new QPushButton(QStringLiteral("Close"), this), "cmdClose");
  twips::place(cmdClose, 7440, 1155, 1920, 405);
  // Enter in the find box finds; it never replaces.
  cmdFind->setDefault(true);
  cmdReplace->setAutoDefault(false);
  cmdClose->setAutoDefault(false);

  lstMatches = named(new QTreeWidget(this), "lstMatches");
  lstMatches->setColumnCount(3);
  lstMatches->setHeaderLabels(
      {QStringLiteral("Page"), QStringLiteral("Line"), QStringLiteral("Text around the match")});
  lstMatches->setRootIsDecorated(false);
  lstMatches->setUniformRowHeights(true);
  lstMatches->setTextElideMode(Qt::ElideMiddle);
  twips::place(lstMatches, 240, 2205, 9120, 4125);
  lstMatches->header()->resizeSection(0, twips::toPixels(1800, dpi));
  lstMatches->header()->resizeSection(1, twips::toPixels(600, dpi));

  lblSummary = named(new QLabel(this), "lblSummary");
  lblSummary->setTextFormat(Qt::PlainText);
  twips::place(lblSummary, 240, 6510, 5880, 285);
  prgProgress = named(new QProgressBar(this), "prgProgress");
  twips::place(prgProgress, 6240, 6495, 3120, 315);
  prgProgress->hide();

  stepper_ = new QTimer(this);
  stepper_->setInterval(0);
  connect(stepper_, &QTimer::timeout, this, &frmFind::step);
  connect(cmdFind, &QPushButton::clicked, this, &frmFind::cmdFind_Click);
  connect(cmdReplace, &QPushButton::clicked, this, &frmFind::cmdReplace_Click);
  connect(cmdClose, &QPushButton::clicked, this, &frmFind::cmdClose_Click);
  connect(lstMatches, &QTreeWidget::itemChanged, this, &frmFind::updateButtons);
  updateButtons();
  txtFind->setFocus();
}

bool frmFind::busy() const { return work_ != Work::None; }

void frmFind::cmdClose_Click() { close(); }

void frmFind::cmdFind_Click() {
  if (work_ == Work::Replacing) return;
  settleThen(&frmFind::startSearch);
}

void frmFind::cmdReplace_Click() {
  if (busy()) return;
  settleThen(&frmFind::startReplace);
}

// Edits in the editor are saved or dropped first, as the code tools do, so
// the search reads what the file holds and a replace cannot be overwritten.
void frmFind::settleThen(void (frmFind::*next)()) {
  if (!browser_) {
    (this->*next)();
    return;
  }
  QPointer<frmFind> self(this);
  browser_->session()->settleEdits([self, next](bool proceed) {
    if (self && proceed) (self->*next)();
  });
}

void frmFind::updateButtons() {
  bool anyTicked = false;
  for (int i = 0; i < lstMatches->topLevelItemCount() && !anyTicked; ++i)
    anyTicked = lstMatches->topLevelItem(i)->checkState(0) == Qt::Checked;
  cmdReplace->setEnabled(work_ == Work::None && anyTicked);
}

void frmFind::startSearch() {
  stepper_->stop();
  work_ = Work::None;
  lstMatches->clear();
  searched_.clear();
  queue_.clear();
  next_ = 0;
  prgProgress->hide();

  searchedFor_.find = txtFind->text();
  searchedFor_.mode = optCode->isChecked() ? pagesearch::Mode::Code : pagesearch::Mode::Text;
  searchedFor_.matchCase = chkMatchCase->isChecked();
  searchedFor_.wholeWord = chkWholeWord->isChecked();
  if (searchedFor_.find.isEmpty()) {
    lblSummary->setText(QStringLiteral("Type the text to find."));
    updateButtons();
    return;
  }
  if (chkAllPages->isChecked())
    queue_ = everypage::pagesFor(pageList_);
  else if (pageList_ && !pageList_->currentText().isEmpty())
    queue_ = {pageList_->currentText()};
  work_ = Work::Searching;
  started_.start();
  updateButtons();
  stepper_->start();
}

void frmFind::step() {
  if (work_ == Work::Searching)
    searchStep();
  else if (work_ == Work::Replacing)
    replaceStep();
  else
    stepper_->stop();
}

void frmFind::showProgress(const QString& doing) {
  if (started_.elapsed() < kProgressAfterMs) return;
  const qsizetype total = work_ == Work::Searching ? queue_.size() : toReplace_.size();
  prgProgress->setRange(0, int(total));
  prgProgress->setValue(int(next_));
  prgProgress->show();
  lblSummary->setText(QStringLiteral("%1 %2 of %3 pages...").arg(doing).arg(next_).arg(total));
}

void frmFind::searchStep() {
  QElapsedTimer slice;
  slice.start();
  while (next_ < queue_.size() && slice.elapsed() < kSliceMs) {
    searched_.append(pagebatch::searchPage(queue_[next_], searchedFor_));
    addPageToList(int(searched_.size() - 1));
    ++next_;
  }
  if (next_ < queue_.size())
    showProgress(QStringLiteral("Searching"));
  else
    endSearch();
}

void frmFind::addPageToList(int pageIndex) {
  const pagebatch::SearchedPage& page = searched_[pageIndex];
  const QString name = QFileInfo(page.path).fileName();
  const QSignalBlocker quiet(lstMatches);  // itemChanged is for the user's ticks
  if (!page.failure.isEmpty()) {
    auto* item = new QTreeWidgetItem(lstMatches);
    item->setText(0, name);
    item->setText(2, QStringLiteral("Not searched: ") + page.failure);
    item->setToolTip(0, plainTip(page.path));
    item->setFlags(Qt::ItemIsEnabled);
    return;
  }
  for (int m = 0; m < page.matches.size(); ++m) {
    const pagesearch::Match& match = page.matches[m];
    auto* item = new QTreeWidgetItem(lstMatches);
    item->setText(0, name);
    item->setToolTip(0, plainTip(page.path));
    item->setText(1, QString::number(match.line));
    // The match between marks, the text around it as the page has it.
    item->setText(2, match.before + QStringLiteral("\u00BB") + match.found +
                         QStringLiteral("\u00AB") + match.after);
    item->setData(0, kPageRole, pageIndex);
    item->setData(0, kMatchRole, m);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Checked);
  }
}

void frmFind::endSearch() {
  stepper_->stop();
  work_ = Work::None;
  prgProgress->hide();
  qsizetype matches = 0;
  qsizetype pages = 0;
  qsizetype failed = 0;
  for (const auto& page : searched_) {
    matches += page.matches.size();
    if (!page.matches.isEmpty()) ++pages;
    if (!page.failure.isEmpty()) ++failed;
  }
  QString summary =
      matches == 0 ? QStringLiteral("No matches")
                   : QStringLiteral("%1 in %2")
                         .arg(plural(matches, "match", "matches"), plural(pages, "page", "pages"));
  if (failed > 0)
    summary += QStringLiteral(" (%1 not searched)").arg(plural(failed, "page", "pages"));
  lblSummary->setText(summary);
  updateButtons();
  emit searchDone();
}

void frmFind::startReplace() {
  toReplace_.clear();
  outcomes_.clear();
  QHash<int, QList<int>> ticked;
  QList<int> order;
  for (int i = 0; i < lstMatches->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = lstMatches->topLevelItem(i);
    if (item->checkState(0) != Qt::Checked) continue;
    const int page = item->data(0, kPageRole).toInt();
    if (!ticked.contains(page)) order.append(page);
    ticked[page].append(item->data(0, kMatchRole).toInt());
  }
  if (order.isEmpty()) return;
  for (const int page : order) toReplace_.append({page, ticked.value(page)});
  replacement_ = txtReplace->text();
  batch_ = std::make_unique<pagebatch::PageBatch>(QStringLiteral("Find and Replace"));
  next_ = 0;
  work_ = Work::Replacing;
  started_.start();
  updateButtons();
  stepper_->start();
}

void frmFind::replaceStep() {
  QElapsedTimer slice;
  slice.start();
  while (next_ < toReplace_.size() && slice.elapsed() < kSliceMs) {
    const auto& [page, chosen] = toReplace_[next_];
    if (const pagebatch::PageEditFunction edit =
            pagebatch::replacementIn(searched_[page], chosen, replacement_, searchedFor_.mode))
      batch_->add(searched_[page].path, edit);
    ++next_;
  }
  if (next_ < toReplace_.size())
    showProgress(QStringLiteral("Replacing in"));
  else
    endReplace();
}

void frmFind::endReplace() {
  stepper_->stop();
  work_ = Work::None;
  outcomes_ = batch_->finish();
  batch_.reset();
  prgProgress->hide();
  // The matches were places in the old bytes: a second replace must search again.
  lstMatches->clear();
  searched_.clear();
  const QString report = pagebatch::replaceReport(outcomes_);
  lblSummary->setText(report.section(u'\n', 0, 0));
  updateButtons();
  bool anyFailed = false;
  for (const auto& o : outcomes_) anyFailed = anyFailed || !o.failure.isEmpty();
  if (browser_ && pageList_ && !pageList_->currentText().isEmpty())
    browser_->Navigate2(pageList_->currentText());
  MsgBox(report, MsgButtons::OkOnly, anyFailed ? MsgIcon::Warning : MsgIcon::Information,
         QStringLiteral("Find and Replace"), this);
  emit replaceDone();
}
