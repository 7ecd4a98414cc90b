#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>

#include "app/edit_captions.h"
#include "app/main_window_layout.h"
#include "editor/code_view.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "editor/web_wait_note.h"
#include "engine/web_proxy.h"
#include "files/paths.h"
#include "help/quick_help.h"
#include "history/history_questions.h"
#include "history/history_window.h"
#include "intake/welcome.h"
#include "publish/publish_window.h"
#include "tools/editor_menu.h"
#include "tools/insert_code.h"
#include "tools/pro_options.h"
#include "widgets/link_label.h"
#include "widgets/look.h"
#include "widgets/msg_box.h"
#include "widgets/named.h"
#include "widgets/tips.h"
#include "widgets/twips.h"

Form2::Form2(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form2"));
  buildControls();
  setUpDrops();
  setUpCheck();
  setUpDevice();
  setUpCode();
  setUpMyCode();
  setUpGuide();
  setUpActions();
  tips::set(this, {{"Combo1", "The page shown: choose one of your pages from the list"},
                   {"cmdRotate", "Turn the phone or tablet on its side"},
                   {"txtCodeFind",
                    "Text to find in the code: Enter finds it, F3 / Shift+F3 the "
                    "next or previous, Esc closes"}});
  qApp->installEventFilter(this);
  // A page write whose history copy cannot be kept asks this window's user.
  history::askBeforeWritingWithoutCopy(this);
  Form_Load();
}

Form2::~Form2() {
  history::stopAsking();
  qApp->removeEventFilter(this);
}

void Form2::buildControls() {
  const double dpi = twips::dpiOf(this);
  resize(twips::toPixels(16395, dpi), twips::toPixels(10815, dpi));

  Picture2 = named(new QWidget(this), "Picture2");
  look::setBackground(Picture2, QColor(64, 64, 64));
  twips::place(Picture2, 0, 0, 16395, 870);

  lblAppName = named(new QLabel(Picture2), "lblAppName");
  lblAppName->setFont(look::font(QStringLiteral("Trebuchet MS"), 15.75, true));
  look::setTextColor(lblAppName, Qt::white);
  twips::place(lblAppName, 495, 225, 5505, 375);

  cmdPro = named(new QPushButton(QStringLiteral("PRO Version Options"), Picture2), "cmdPro");
  twips::place(cmdPro, 12895, 180, 2940, 420);

  lblHistory = named(new LinkLabel(QStringLiteral("History"), Picture2), "lblHistory");
  lblHistory->setFont(look::font(QStringLiteral("MS Sans Serif"), 8.25, true, true));
  look::setTextColor(lblHistory, QColor(160, 255, 160));
  twips::place(lblHistory, 11225, 270, 735, 240);
  lblPublish = named(new LinkLabel(QStringLiteral("Publish"), Picture2), "lblPublish");
  lblPublish->setFont(look::font(QStringLiteral("MS Sans Serif"), 8.25, true, true));
  look::setTextColor(lblPublish, QColor(144, 238, 144));
  twips::place(lblPublish, 12060, 270, 735, 240);

  Combo1 = named(new QComboBox(this), "Combo1");
  Combo1->setEditable(true);
  // Entries come only from the file intake; typing never adds one.
  Combo1->setInsertPolicy(QComboBox::NoInsert);
  twips::place(Combo1, 405, 1035, 8197, 315);

  Command5 = named(new QPushButton(QStringLiteral("+"), this), "Command5");
  twips::place(Command5, 8702, 945, 465, 420);
  Command2 = named(new QPushButton(kEditPage, this), "Command2");
  twips::place(Command2, 9267, 945, 2175, 420);
  Command1 =
      named(new QPushButton(QStringLiteral("Add HTML Code (Buy Button etc)"), this), "Command1");
  twips::place(Command1, 11542, 945, 3615, 420);

  lblHelp = named(new LinkLabel(QStringLiteral("Help"), this), "lblHelp");
  lblHelp->setFont(look::font(QStringLiteral("MS Sans Serif"), 8.25, true, true));
  look::setTextColor(lblHelp, QColor(0, 128, 0));
  twips::place(lblHelp, 15257, 990, 735, 240);

  WebBrowser1 = named(new WebBrowser(this), "WebBrowser1");
  twips::place(WebBrowser1, 405, 1440, 15585, 7575);
  new WebWaitNote(WebProxy::instance(), WebBrowser1);
  // The preview's own menu, links, pictures and spelling; it lives with the browser.
  editorMenu_ = new EditorMenu(WebBrowser1);

  frShortcuts = named(
      new QGroupBox(QStringLiteral("Shortcuts (Remember to click the \"Edit Page\" Button First)"),
                    this),
      "frShortcuts");
  frShortcuts->setFont(look::font(QStringLiteral("MS Sans Serif"), 8.25, true));
  twips::place(frShortcuts, 405, 9270, 15585, 1050);
  Label1 = named(
      new QLabel(QStringLiteral("Paste: CTRL + V   Undo: CTRL + Z    Bold: CTRL + B   Underline: "
                                "CTRL + U   Italics: CTRL + I   Preview In Default Browser: CTRL + "
                                "N (Need to Save Your Changes Before)."),
                 frShortcuts),
      "Label1");
  Label1->setFont(look::font(QStringLiteral("MS Sans Serif"), 8.25));
  twips::place(Label1, 360, 315, 14460, 240);
  Label2 = named(new QLabel(QStringLiteral("Notice: Some pages may look different in this browser "
                                           "than how you see them under Google Chrome or Firefox "
                                           "but it's ok."),
                            frShortcuts),
                 "Label2");
  Label2->setFont(look::font(QStringLiteral("MS Sans Serif"), 8.25));
  look::setTextColor(Label2, QColor(0, 64, 0));
  twips::place(Label2, 360, 585, 15585, 240);

  Timer1 = named(new QTimer(this), "Timer1");
  Timer1->setInterval(100);
  Timer1->setSingleShot(true);

  connect(Timer1, &QTimer::timeout, this, &Form2::Timer1_Timer);
  connect(WebBrowser1, &WebBrowser::DownloadComplete, this, &Form2::WebBrowser1_DownloadComplete);
  // The edit button's caption and the controls that wait while a page is
  // edited follow what the page is doing.
  connect(WebBrowser1->state(), &EditingState::changed, this, &Form2::showEditingState);
  connect(Command5, &QPushButton::clicked, this, &Form2::Command5_Click);
  connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
  connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
  connect(cmdPro, &QPushButton::clicked, this, &Form2::cmdPro_Click);
  connect(lblHelp, &LinkLabel::clicked, this, &Form2::lblHelp_Click);
  connect(lblHistory, &LinkLabel::clicked, this, &Form2::lblHistory_Click);
  connect(lblPublish, &LinkLabel::clicked, this, &Form2::lblPublish_Click);
  // A chosen entry shows its page, whether the user chose it or another
  // window set the selection; choosing the entry already selected shows it too.
  connect(Combo1, &QComboBox::currentIndexChanged, this, [this] {
    indexJustChanged_ = true;
    QTimer::singleShot(0, this, [this] { indexJustChanged_ = false; });
    Combo1_Click();
  });
  connect(Combo1, &QComboBox::activated, this, [this] {
    if (!indexJustChanged_) Combo1_Click();
    indexJustChanged_ = false;
  });
}

void Form2::Form_Load() {
  WebBrowser1->setSilent(true);
  Combo1->clear();
  Combo1->setEditText(QString());
  WebBrowser1->Navigate2(paths::besideExecutableAsIs(QStringLiteral("blank.html")));
  setWindowTitle(QString::fromLatin1(kProductName) + QStringLiteral(" ") +
                 QString::fromLatin1(kVersion));
  lblAppName->setText(QString::fromLatin1(kProductName));
  Timer1->start();
}

QString Form2::currentPage() const { return Combo1->currentText(); }

bool Form2::welcomeShowing() const { return welcome_ && welcome_->isVisible(); }

bool Form2::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    // Only a return from another window of the program refreshes the
    // preview; a return from another application or a message box does not.
    const bool fromOurWindow = returningFromOurWindow_;
    returningFromOurWindow_ = false;
    if (fromOurWindow) Form_Activate();
  }
  return QWidget::event(event);
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
  // Seen before the browser or the code gets it, and only for keys meant for
  // this window; the list says which it takes now (while editing the page,
  // Ctrl+Shift+Z stays the editor's redo and Ctrl+U its underline).
  if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == this &&
      runKey(watched, static_cast<QKeyEvent*>(event)))
    return true;
  // A click in the page beside the code finds its element's tag there.
  if (event->type() == QEvent::MouseButtonRelease && watched->isWidgetType() &&
      WebBrowser1->isAncestorOf(static_cast<QWidget*>(watched)) &&
      WebBrowser1->state()->view() == EditingState::View::Split)
    QTimer::singleShot(50, this, &Form2::pageClickedInSplit);
  if (event->type() == QEvent::WindowActivate && watched != this && watched->isWidgetType()) {
    auto* w = static_cast<QWidget*>(watched);
    if (w->isWindow()) returningFromOurWindow_ = !qobject_cast<QMessageBox*>(w);
  }
  return QWidget::eventFilter(watched, event);
}

void Form2::Form_Activate() {
  raise();
  if (welcomeShowing()) return;
  // Code without edits shows the file as another window may have rewritten it.
  if (WebBrowser1->state()->codeShown() && !CodeView1->modified() && CodeView1->isOpen())
    (void)CodeView1->open(CodeView1->path());
  if (!WebBrowser1->state()->editing() && Combo1->count() > 0)
    WebBrowser1->Navigate2(currentPage());
}

void Form2::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Form_Resize();
}

void Form2::Form_Resize() {
  const double dpi = twips::dpiOf(this);
  auto tw = [dpi](int px) { return twips::fromPixels(px, dpi); };
  auto px = [dpi](int t) { return twips::toPixels(t, dpi); };

  MainWindowMetrics m;
  m.comboLeft = tw(Combo1->x());
  m.command5Width = tw(Command5->width());
  m.command2Width = tw(Command2->width());
  m.command1Width = tw(Command1->width());
  m.lblHistoryWidth = tw(lblHistory->width());
  m.lblCheckWidth = tw(lblCheck->width());
  m.lblMyCodeWidth = tw(lblMyCode->width());
  const MainWindowLayout l = layoutForWidth(tw(frameGeometry().width()), m);

  splView->resize(px(l.browserWidth), splView->height());
  frShortcuts->resize(px(l.shortcutsWidth), frShortcuts->height());
  Combo1->resize(px(l.comboWidth), Combo1->height());
  Command5->move(px(l.command5Left), Command5->y());
  Command2->move(px(l.command2Left), Command2->y());
  Command1->move(px(l.command1Left), Command1->y());
  lblHelp->move(px(l.lblHelpLeft), lblHelp->y());
  cmdPro->move(px(l.cmdProLeft), cmdPro->y());
  lblHistory->move(px(l.lblHistoryLeft), lblHistory->y());
  lblPublish->move(px(l.lblPublishLeft), lblPublish->y());
  lblCheck->move(px(l.lblCheckLeft), lblCheck->y());
  lblMyCode->move(px(l.lblMyCodeLeft), lblMyCode->y());
  cmdViewPage->move(px(l.cmdViewPageLeft), cmdViewPage->y());
  cmdViewCode->move(px(l.cmdViewCodeLeft), cmdViewCode->y());
  cmdViewSplit->move(px(l.cmdViewSplitLeft), cmdViewSplit->y());
  // The header band spans the window, whatever its width.
  Picture2->resize(width(), Picture2->height());
  frGuide->setGeometry(splView->geometry());
}

void Form2::Timer1_Timer() {
  Timer1->stop();
  // Edits taken up after a crash are what the user works on now.
  if (offerRecovery()) return;
  Command5_Click();
}

void Form2::Combo1_Click() {
  if (welcomeShowing()) return;
  if (!leaveCodeFor(currentPage())) {
    // The user stays with the code's page: the list says so again.
    const QSignalBlocker quiet(Combo1);
    if (const int at = Combo1->findText(CodeView1->path()); at >= 0)
      Combo1->setCurrentIndex(at);
    else
      Combo1->setEditText(CodeView1->path());
    return;
  }
  WebBrowser1->Navigate2(currentPage());
}

void Form2::WebBrowser1_DownloadComplete() {
  WebBrowser1->setDesignMode(WebBrowser1->state()->editing() ? QStringLiteral("On")
                                                             : QStringLiteral("off"));
  restorePreviewScroll();
}

void Form2::Command5_Click() {
  if (welcome_) return;
  welcome_ = new frmdropfiles(Combo1, this);
  welcome_->exec();
}

bool Form2::refuseWithoutPage() {
  if (!currentPage().isEmpty()) return false;
  MsgBox(QStringLiteral("Please add a page before."), MsgButtons::OkOnly, MsgIcon::Information,
         QStringLiteral("Missing Info"), this);
  return true;
}

void Form2::Command1_Click() {
  if (refuseWithoutPage()) return;
  if (!insertCode_) insertCode_ = new Form3(Combo1, WebBrowser1, this);
  insertCode_->show();
  insertCode_->raise();
  insertCode_->activateWindow();
}

void Form2::cmdPro_Click() {
  if (refuseWithoutPage()) return;
  if (proOptions_) return;
  proOptions_ = new frmPRO(Combo1, WebBrowser1, this);
  proOptions_->exec();
}

void Form2::lblHelp_Click() {
  if (quickHelp_) return;
  quickHelp_ = new frmQuickHelp(this);
  quickHelp_->exec();
}

void Form2::lblHistory_Click() {
  if (refuseWithoutPage()) return;
  if (history_) return;
  history_ = new frmHistory(Combo1, WebBrowser1, this);
  history_->exec();
}

void Form2::undoLastChange() {
  if (refuseWithoutPage()) return;
  history::undoLastChange(currentPage(), WebBrowser1, this);
}

void Form2::lblPublish_Click() {
  if (publish_) return;
  // Publishing sends the files as saved: an edit in progress would not go.
  if (WebBrowser1->state()->editing()) {
    MsgBox(QStringLiteral("Please save or discard your changes to the page before publishing."),
           MsgButtons::OkOnly, MsgIcon::Information, QStringLiteral("Publish"), this);
    return;
  }
  publish_ = new frmPublish(Combo1, this);
  // "Show" after the check before a publish: the Check Pages window, once
  // the Publish window has closed.
  publish_->setShowCheck([this] { QTimer::singleShot(0, this, &Form2::lblCheck_Click); });
  publish_->exec();
}
