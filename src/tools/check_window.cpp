#include "tools/check_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "engine/page_scripts.h"
#include "tools/every_page.h"
#include "tools/web_links.h"
#include "widgets/msg_box.h"
#include "widgets/tips.h"

using pagecheck::Problem;
using pagecheck::Severity;

namespace {

const QString kTitle = QStringLiteral("Check Pages");
constexpr int kProblemRole = Qt::UserRole;
constexpr qint64 kBatchMs = 50;     // how often the worker hands over what it found
constexpr int kLocateForMs = 5000;  // reloads of the page within this time keep the caret placed

template <typename W>
W* named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QString plural(qsizetype n, const char* one, const char* many) {
  return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}

// A tool tip takes text that looks like markup for markup; a path (or any
// text from a page) must show as it is and load nothing.
QString plainTip(const QString& text) {
  return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped());
}

bool samePath(const QString& a, const QString& b) {
  const QString ca = QFileInfo(a).canonicalFilePath();
  return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

}  // namespace

frmCheck::frmCheck(QComboBox* pageList, WebBrowser* browser, QWidget* parent, QString settingsFile)
    : QDialog(parent),
      pageList_(pageList),
      browser_(browser),
      settingsFile_(std::move(settingsFile)) {
  setObjectName(QStringLiteral("frmCheck"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(kTitle);
  buildControls();
  tips::set(this,
            {{"chkWebLinks", "Also ask every web address whether it answers (slower)"},
             {"lstProblems",
              "Each problem with its page, line and severity; Enter or a double-click shows it"},
             {"cmdCheck", "Check the pages again"},
             {"cmdCancel", "Stop the check"},
             {"cmdClose", "Close this window (Esc)"}});
  savedMine_ = sitecheck::savedIdentities(settingsFile_);
  txtMine->setText(savedMine_);
  // The pages are checked as the window opens: that is what it is for.
  QTimer::singleShot(0, this, &frmCheck::cmdCheck_Click);
}

frmCheck::~frmCheck() {
  if (web_) web_->cancel();
  stopWorker();
}

void frmCheck::buildControls() {
  resize(860, 560);
  auto* mineRow = new QHBoxLayout;
  auto* lblMine = named(new QLabel(QStringLiteral("Your payment accounts:"), this), "lblMine");
  txtMine = named(new QLineEdit(this), "txtMine");
  txtMine->setPlaceholderText(
      QStringLiteral("your PayPal e-mail, ClickBank nickname, affiliate IDs, separated by commas"));
  txtMine->setToolTip(
      QStringLiteral("Payment and affiliate links to any other account are shown as errors."));
  lblMine->setBuddy(txtMine);
  mineRow->addWidget(lblMine);
  mineRow->addWidget(txtMine, 1);

  chkWebLinks = named(
      new QCheckBox(QStringLiteral("Also ask every web address whether it answers (slower)"), this),
      "chkWebLinks");

  lstProblems = named(new QTreeWidget(this), "lstProblems");
  lstProblems->setHeaderLabels({QStringLiteral("Page"), QStringLiteral("Line"),
                                QStringLiteral("Severity"), QStringLiteral("Problem"),
                                QStringLiteral("Detail")});
  lstProblems->setRootIsDecorated(false);
  lstProblems->setUniformRowHeights(true);
  lstProblems->setTextElideMode(Qt::ElideMiddle);
  lstProblems->header()->resizeSection(0, 150);
  lstProblems->header()->resizeSection(1, 50);
  lstProblems->header()->resizeSection(2, 80);
  lstProblems->header()->resizeSection(3, 170);
  lstProblems->header()->setStretchLastSection(true);

  lblSummary = named(new QLabel(this), "lblSummary");
  lblSummary->setTextFormat(Qt::PlainText);
  prgCheck = named(new QProgressBar(this), "prgCheck");
  prgCheck->setMaximumWidth(220);
  prgCheck->hide();
  cmdCheck = named(new QPushButton(QStringLiteral("Check Again"), this), "cmdCheck");
  cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
  cmdClose = named(new QPushButton(QStringLiteral("Close"), this), "cmdClose");
  // Enter belongs to the list (it shows the problem) and to the accounts box.
  for (QPushButton* b : {cmdCheck, cmdCancel, cmdClose}) b->setAutoDefault(false);
  cmdCancel->setEnabled(false);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(lblSummary, 1);
  bottom->addWidget(prgCheck);
  bottom->addWidget(cmdCheck);
  bottom->addWidget(cmdCancel);
  bottom->addWidget(cmdClose);
  auto* root = new QVBoxLayout(this);
  root->addLayout(mineRow);
  root->addWidget(chkWebLinks);
  root->addWidget(lstProblems, 1);
  root->addLayout(bottom);

  connect(cmdCheck, &QPushButton::clicked, this, &frmCheck::cmdCheck_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmCheck::cmdCancel_Click);
  connect(cmdClose, &QPushButton::clicked, this, &frmCheck::close);
  connect(txtMine, &QLineEdit::editingFinished, this, &frmCheck::txtMine_Change);
  connect(chkWebLinks, &QCheckBox::toggled, this, &frmCheck::chkWebLinks_Click);
  // Enter and a double-click both activate a row.
  connect(lstProblems, &QTreeWidget::itemActivated, this, &frmCheck::lstProblems_DblClick);
}

bool frmCheck::busy() const { return cmdCancel->isEnabled(); }

void frmCheck::stopWorker() {
  cancel_ = true;
  if (worker_) worker_->wait();
  delete worker_;
  worker_ = nullptr;
}

void frmCheck::cmdCheck_Click() {
  if (web_) web_->cancel();
  stopWorker();
  ++run_;
  lstProblems->clear();
  problems_.clear();
  addresses_.clear();
  webAsked_ = false;
  const QStringList pages = everypage::pagesFor(pageList_);
  pages_ = pages.size();
  sitecheck::Options options;
  options.mine = pagecheck::Identities(txtMine->text());
  cancel_ = false;
  setRunning(true);
  prgCheck->setRange(0, int(std::max<qsizetype>(pages_, 1)));
  prgCheck->setValue(0);
  showSummary(QStringLiteral("Checking the pages…"));

  QPointer<frmCheck> self(this);
  const int run = run_;
  worker_ = QThread::create([self, run, pages, options, this] {
    sitecheck::Run check(pages, options);
    QList<Problem> batch;
    QElapsedTimer handed;
    handed.start();
    while (!check.finished() && !cancel_) {
      batch << check.next();
      if (handed.elapsed() < kBatchMs && !check.finished()) continue;
      QMetaObject::invokeMethod(
          self, [self, run, batch, checked = check.checked(), total = check.total()] {
            if (self && self->run_ == run) self->takeProblems(batch, checked, total);
          });
      batch.clear();
      handed.restart();
    }
    QMetaObject::invokeMethod(
        self, [self, run, batch, web = check.webAddresses(), cancelled = bool(cancel_)] {
          if (!self || self->run_ != run) return;
          self->takeProblems(batch, self->pages_, self->pages_);
          self->pagesDone(web, cancelled);
        });
  });
  worker_->start();
}

void frmCheck::cmdCancel_Click() {
  if (!busy()) return;
  // Stopped at once: the worker ends after its page, and nothing it still
  // sends is taken.
  cancel_ = true;
  ++run_;
  if (web_) web_->cancel();
  finish(true);
}

void frmCheck::closeEvent(QCloseEvent* event) {
  if (web_) web_->cancel();
  stopWorker();
  QDialog::closeEvent(event);
}

void frmCheck::txtMine_Change() {
  const QString typed = txtMine->text().trimmed();
  if (typed == savedMine_) return;
  savedMine_ = typed;
  sitecheck::saveIdentities(settingsFile_, typed);
  // Whom the payment links pay is judged against these: judge them again.
  cmdCheck_Click();
}

void frmCheck::chkWebLinks_Click() {
  if (chkWebLinks->isChecked()) {
    // The pages are checked already: their addresses are asked now.
    if (!busy() && !webAsked_ && pages_ > 0) {
      setRunning(true);
      askWebAddresses();
    }
  } else if (web_ && web_->running()) {
    web_->cancel();
    finish(true);
  }
}

void frmCheck::setRunning(bool running) {
  cmdCheck->setEnabled(!running);
  cmdCancel->setEnabled(running);
  prgCheck->setVisible(running);
}

void frmCheck::takeProblems(const QList<Problem>& problems, qsizetype checked, qsizetype total) {
  QList<QTreeWidgetItem*> items;
  items.reserve(problems.size());
  for (const Problem& p : problems) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, QFileInfo(p.file).fileName());
    item->setToolTip(0, plainTip(p.file));
    item->setText(1, p.line > 0 ? QString::number(p.line) : QString());
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setText(2, pagecheck::severityText(p.severity));
    item->setIcon(2, style()->standardIcon(
                         p.severity == Severity::Error     ? QStyle::SP_MessageBoxCritical
                         : p.severity == Severity::Warning ? QStyle::SP_MessageBoxWarning
                                                           : QStyle::SP_MessageBoxInformation));
    item->setText(3, pagecheck::kindText(p.kind));
    item->setText(4, p.detail);
    item->setToolTip(4, plainTip(p.detail));
    item->setData(0, kProblemRole, int(problems_.size()));
    problems_ << p;
    items << item;
  }
  lstProblems->addTopLevelItems(items);
  prgCheck->setValue(int(checked));
  if (checked < total)
    showSummary(QStringLiteral("Checking page %1 of %2…").arg(checked + 1).arg(total));
}

void frmCheck::pagesDone(const QList<sitecheck::WebAddress>& web, bool cancelled) {
  if (worker_) worker_->wait();
  delete worker_;
  worker_ = nullptr;
  addresses_ = web;
  if (cancelled) {
    finish(true);
    return;
  }
  if (chkWebLinks->isChecked()) {
    askWebAddresses();
    return;
  }
  finish(false);
}

void frmCheck::askWebAddresses() {
  webAsked_ = true;
  if (!web_) {
    web_ = new WebLinkCheck(this);
    connect(web_, &WebLinkCheck::answered, this, &frmCheck::webAnswered);
    connect(web_, &WebLinkCheck::progress, this, [this](int done, int total) {
      prgCheck->setRange(0, std::max(total, 1));
      prgCheck->setValue(done);
      showSummary(QStringLiteral("Asking the web addresses: %1 of %2…").arg(done).arg(total));
    });
    connect(web_, &WebLinkCheck::finished, this, [this] { finish(false); });
  }
  QStringList addresses;
  for (const sitecheck::WebAddress& a : std::as_const(addresses_)) addresses << a.address;
  web_->start(addresses);
}

void frmCheck::webAnswered(int index, bool ok, const QString& why) {
  if (ok || index < 0 || index >= addresses_.size()) return;
  const sitecheck::WebAddress& a = addresses_[index];
  QList<Problem> found;
  for (const sitecheck::WebAddress::Use& use : a.uses) {
    Problem p;
    p.file = use.file;
    p.page = use.page;
    p.line = use.line;
    p.severity = Severity::Warning;
    p.kind = pagecheck::Kind::BrokenWebLink;
    p.detail = QStringLiteral("%1: %2").arg(a.address, why);
    p.where = use.where;
    found << p;
  }
  takeProblems(found, pages_, pages_);
}

void frmCheck::finish(bool cancelled) {
  setRunning(false);
  showSummary(cancelled ? QStringLiteral("The check was cancelled.") : QString());
  emit checkDone();
}

void frmCheck::showSummary(const QString& doing) {
  if (!doing.isEmpty() && !doing.startsWith(u"The check")) {
    lblSummary->setText(doing);
    return;
  }
  const qsizetype errors = sitecheck::countOf(problems_, Severity::Error);
  const qsizetype warnings = sitecheck::countOf(problems_, Severity::Warning);
  const qsizetype notes = sitecheck::countOf(problems_, Severity::Note);
  QStringList parts;
  if (errors) parts << plural(errors, "error", "errors");
  if (warnings) parts << plural(warnings, "warning", "warnings");
  if (notes) parts << plural(notes, "note", "notes");
  QString text = parts.isEmpty()     ? QStringLiteral("No problems found")
                 : parts.size() == 1 ? parts.first()
                                     : parts.mid(0, parts.size() - 1).join(", ") +
                                           QStringLiteral(" and ") + parts.last();
  text += QStringLiteral(" in %1.").arg(plural(pages_, "page", "pages"));
  if (!doing.isEmpty()) text += u' ' + doing;
  lblSummary->setText(text);
}

void frmCheck::lstProblems_DblClick(QTreeWidgetItem* item) {
  if (!item) return;
  const int i = item->data(0, kProblemRole).toInt();
  if (i < 0 || i >= problems_.size()) return;
  const Problem p = problems_[i];
  emit problemChosen(p.file, p.line);
  showInPage(p.page.isEmpty() ? p.file : p.page, p.where);
}

// The page goes to the main window the way the user would choose it, so
// the window's own state (current page, preview) follows; once the page is
// there the element is scrolled into view and selected.
void frmCheck::showInPage(const QString& page, const pagecheck::Locator& where) {
  if (!browser_ || !pageList_) return;
  if (browser_->state()->editing()) {
    MsgBox(QStringLiteral("Please save or discard your changes to the page first."),
           MsgButtons::OkOnly, MsgIcon::Information, kTitle, this);
    return;
  }
  QObject::disconnect(locating_);
  locating_ = connect(browser_, &WebBrowser::DocumentReady, this, [this, page, where] {
    if (browser_ && samePath(browser_->LocationPath(), page)) locate(where);
  });
  // The main window reloads its page when it becomes active; a placing made
  // before that would be lost, so reloads for a while place it again.
  QTimer::singleShot(kLocateForMs, this, [c = locating_] { QObject::disconnect(c); });
  browser_->window()->raise();
  browser_->window()->activateWindow();
  const int index = pageList_->findText(page, Qt::MatchExactly);
  if (index >= 0 && index != pageList_->currentIndex()) {
    pageList_->setCurrentIndex(index);  // the main window shows it
  } else if (!samePath(browser_->LocationPath(), page)) {
    browser_->Navigate2(page);
  } else {
    locate(where);
  }
}

void frmCheck::locate(const pagecheck::Locator& where) {
  if (!browser_ || (where.attribute.isEmpty() && where.text.isEmpty())) return;
  const QJsonObject place{{QStringLiteral("attribute"), where.attribute},
                          {QStringLiteral("value"), where.value},
                          {QStringLiteral("text"), where.text}};
  pagescripts::call(browser_->view()->page(), QStringLiteral("locateProblem"), {place});
  browser_->view()->setFocus();
}
