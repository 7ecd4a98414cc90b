#include "tools/pro_options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

#include "editor/edit_session.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "files/history_action.h"
#include "files/paths.h"
#include "files/v_file.h"
#include "files/v_tools.h"
#include "tools/byte_edits.h"
#include "tools/every_page.h"
#include "tools/my_code.h"
#include "tools/page_batch.h"
#include "tools/panel_stack.h"
#include "tools/text_edits.h"
#include "widgets/link_label.h"
#include "widgets/look.h"
#include "widgets/msg_box.h"
#include "widgets/named.h"
#include "widgets/tips.h"
#include "widgets/twips.h"
#include "widgets/v_frame.h"

namespace {

constexpr int kPanelLeft = 450;
constexpr int kPanelWidth = 11580;
constexpr std::array<int, 3> kOpenHeights{2715, 4065, 4875};
constexpr int kFirstPanelTop = 45;

const QColor kDarkBlue = look::fromBgr(0x800000);
const QColor kDarkGreen = look::fromBgr(0x006400);
const QColor kRed = look::fromBgr(0x0000FF);
const QColor kLightYellow = look::fromBgr(0xC0FFFF);

// The design's face, else the nearest in width that the system has.
QFont windowFont(bool bold = false) {
  QFont f = look::font(QStringLiteral("MS Sans Serif"), 8.25, bold);
  f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                 QStringLiteral("Tahoma"), QStringLiteral("Arial"),
                 QStringLiteral("Liberation Sans"), QStringLiteral("Helvetica"),
                 QStringLiteral("Nimbus Sans")});
  f.setStyleHint(QFont::SansSerif);
  return f;
}

// A one-line label grows to the left (and down) when the face at hand is
// bigger than the design's, so that none of its text is cut off.
void keepWholeLine(QLabel* l) {
  const QRect g = l->geometry();
  const int width = std::max(g.width(), l->fontMetrics().horizontalAdvance(l->text()) + 4);
  const int height = std::max(g.height(), l->fontMetrics().height());
  l->setGeometry(g.right() + 1 - width, g.top(), width, height);
}

// Labels show their text as it stands: "<HEAD>" is text, not markup.
QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top, int width,
              int height, bool bold = false) {
  auto* l = named(new QLabel(text, parent), QString::fromLatin1(name));
  l->setTextFormat(Qt::PlainText);
  l->setWordWrap(true);
  l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  l->setFont(windowFont(bold));
  twips::place(l, left, top, width, height);
  return l;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& text, int left, int top,
                    int width, int height) {
  auto* b = named(new QPushButton(text, parent), name);
  b->setFont(windowFont());
  b->setAutoDefault(false);
  twips::place(b, left, top, width, height);
  return b;
}

QLineEdit* lineEdit(QWidget* parent, const char* name, const QString& text, int left, int top,
                    int width, int height) {
  auto* e = named(new QLineEdit(text, parent), QString::fromLatin1(name));
  e->setFont(windowFont());
  twips::place(e, left, top, width, height);
  return e;
}

}  // namespace

frmPRO::frmPRO(QComboBox* pageList, WebBrowser* browser, QWidget* parent)
    : QDialog(parent), pageList_(pageList), browser_(browser) {
  setObjectName(QStringLiteral("frmPRO"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Pro Version"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFont(windowFont());
  buildControls();
  tips::set(
      this,
      {{"lblMenu_0", "Open the panel that sets the page title"},
       {"lblMenu_1", "Open the panel that puts code before </head>"},
       {"lblMenu_2", "Open the panel that redirects the browser's Back button"},
       {"Text1", "The page title shown in the browser's title bar and by search engines"},
       {"cmdUpdate_0", "Write the title into the page"},
       {"txtRetargeting", "Tracking or analytics code to put before </head>"},
       {"chkAllPagesHead", "Put the code in every page of the list, not only the current one"},
       {"cmdUpdate_1", "Put the code before </head> and save the page"},
       {"txtBackRedirect", "Where visitors go when they press their browser's Back button"},
       {"cmdUpdate_2", "Put the Back button redirect into the page"},
       {"Command2", "Close this window (Esc)"}});
  Form_Load();
}

void frmPRO::buildControls() {
  const double dpi = twips::dpiOf(this);
  setFixedSize(twips::toPixels(12435, dpi), twips::toPixels(7350, dpi));
  if (const QScreen* screen =
          parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  static const std::array<QString, 3> headers{
      QStringLiteral("Page Title"), QStringLiteral("Insert Code Between <HEAD></HEAD Tags>"),
      QStringLiteral("\"Back Button\" Control")};
  for (int i = 0; i < 3; ++i) {
    const QString index = QString::number(i);
    vMenu[i] = named(new vFrame(this), QStringLiteral("vMenu_") + index);
    vMenu[i]->setLeft(kPanelLeft);
    if (i == 0) vMenu[i]->setTop(kFirstPanelTop);
    vMenu[i]->setWidth(kPanelWidth);
    vMenu[i]->setExpanded(i == 2);
    vMenu[i]->setExpandedvalue(kOpenHeights[i]);

    lblMenu[i] = named(new LinkLabel(headers[i], vMenu[i]), QStringLiteral("lblMenu_") + index);
    lblMenu[i]->setTextFormat(Qt::PlainText);
    lblMenu[i]->setFont(windowFont(true));
    look::setTextColor(lblMenu[i], kDarkBlue);
    twips::place(lblMenu[i], 180, 45, i == 1 ? 5145 : 2535, 240);
    connect(lblMenu[i], &LinkLabel::clicked, this, [this, i] { lblMenu_Click(i); });
  }
  buildTitlePanel();
  buildHeadCodePanel();
  buildBackButtonPanel();
  for (int i = 0; i < 3; ++i)
    connect(cmdUpdate[i], &QPushButton::clicked, this, [this, i] { cmdUpdate_Click(i); });

  Command2 =
      button(this, QStringLiteral("Command2"), QStringLiteral("Close"), 5130, 6435, 1995, 645);
  connect(Command2, &QPushButton::clicked, this, &frmPRO::Command2_Click);

  setTabOrder(Text1, cmdUpdate[0]);
  setTabOrder(cmdUpdate[0], txtBackRedirect);
  setTabOrder(txtBackRedirect, cmdUpdate[2]);
  setTabOrder(cmdUpdate[2], cboHeadSnippet);
  setTabOrder(cboHeadSnippet, txtRetargeting);
  setTabOrder(txtRetargeting, chkAllPagesHead);
  setTabOrder(chkAllPagesHead, cmdUpdate[1]);
  setTabOrder(cmdUpdate[1], Command2);
}

void frmPRO::buildTitlePanel() {
  QWidget* p = vMenu[0];
  label(p, "Label5", QStringLiteral("Page Title:"), 900, 675, 2535, 465, true);
  Text1 = lineEdit(p, "Text1", QStringLiteral("How to Create a Membership Website"), 2430, 630,
                   3750, 375);
  label(
      p, "Label6",
      QStringLiteral("The page title (visible in the title bar of your browser), is important for "
                     "SEO purposes. Try to add a keyword that your want to target here."),
      900, 1125, 9150, 600);
  cmdUpdate[0] = button(p, QStringLiteral("cmdUpdate_0"), QStringLiteral("Update Page"), 8685, 1800,
                        2535, 375);
}

void frmPRO::buildHeadCodePanel() {
  QWidget* p = vMenu[1];
  QLabel* hint = label(p, "Label8",
                       QStringLiteral("Use it to insert a Facebook Retargeting Code, Google "
                                      "Analytics Code etc."),
                       5760, 60, 5595, 240);
  hint->setWordWrap(false);
  hint->setAlignment(Qt::AlignRight | Qt::AlignTop);
  keepWholeLine(hint);
  look::setTextColor(hint, kDarkGreen);
  label(p, "Label7", QStringLiteral("Add Your Code Here:"), 945, 765, 8520, 465, true);
  txtRetargeting = named(new QPlainTextEdit(p), QStringLiteral("txtRetargeting"));
  txtRetargeting->setFont(windowFont());
  txtRetargeting->setTabChangesFocus(true);
  twips::place(txtRetargeting, 945, 1215, 9960, 1635);
  cboHeadSnippet =
      mycode::chooser(p, QStringLiteral("cboHeadSnippet"), [this](const QString& code) {
        QTextCursor all = txtRetargeting->textCursor();
        all.select(QTextCursor::Document);
        all.insertText(code);
        txtRetargeting->setTextCursor(all);
        txtRetargeting->setFocus();
      });
  cboHeadSnippet->setFont(windowFont());
  twips::place(cboHeadSnippet, 7785, 780, 3120, 315);
  cmdUpdate[1] = button(p, QStringLiteral("cmdUpdate_1"), QStringLiteral("Insert Code"), 8370, 3060,
                        2535, 375);
  chkAllPagesHead = named(new QCheckBox(QStringLiteral("In every page of the list"), p),
                          QStringLiteral("chkAllPagesHead"));
  chkAllPagesHead->setFont(windowFont());
  twips::place(chkAllPagesHead, 945, 3060, 4200, 285);
}

void frmPRO::buildBackButtonPanel() {
  QWidget* p = vMenu[2];
  lblNotAvailable =
      label(p, "lblNotAvailable", QStringLiteral("Broken Module - Please Reinstall the App"), 7380,
            135, 3795, 195);
  lblNotAvailable->setWordWrap(false);
  lblNotAvailable->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  keepWholeLine(lblNotAvailable);
  look::setTextColor(lblNotAvailable, kRed);
  lblNotAvailable->hide();
  label(
      p, "Label1",
      QStringLiteral("The \"Back Button\" is a feature that most of the modern browser have and it "
                     "allows your visitors to go back to the previous page (a page that they "
                     "have visited before they arrived to your website, like Google etc)."),
      720, 540, 9690, 600);
  label(p, "Label2",
        QStringLiteral("If you enable this feature, your visitors will see another page (discount "
                       "page etc), when they click the \"Back\" button. This is a great "
                       "opportunity to offer something to your customers before they leave your "
                       "website."),
        720, 1305, 9690, 600);
  label(p, "Label3", QStringLiteral("Redirect Visitors To:"), 675, 2295, 2535, 465, true);
  txtBackRedirect =
      lineEdit(p, "txtBackRedirect", QStringLiteral("http://"), 3195, 2250, 3750, 375);
  look::setBackground(txtBackRedirect, kLightYellow);
  label(p, "Label9",
        QStringLiteral("Tip: You can redirect these visitors to any url of your choice (affiliate "
                       "product offering more features, discount page etc). "),
        675, 2790, 9690, 600);
  QLabel* important = label(p, "Label10",
                            QStringLiteral("Important: Please add this feature only once per page. "
                                           "Otherwise, the feature may not work."),
                            720, 3510, 9690, 600);
  look::setTextColor(important, kDarkGreen);
  cmdUpdate[2] = button(p, QStringLiteral("cmdUpdate_2"), QStringLiteral("Insert Code"), 8865, 4185,
                        2535, 375);
}

void frmPRO::Form_Load() {
  lblMenu_Click(2);
  loadBackTemplate();
}

void frmPRO::loadBackTemplate() {
  const QString path = paths::besideExecutable(QStringLiteral("b.cfg"));
  if (!vTools::Exists(path, false)) {
    lblNotAvailable->show();
    return;
  }
  if (const Status read = vFile::LoadText(txtBackControl, path); !read) {
    // Unreadable counts as missing: the template stays empty.
    lblNotAvailable->show();
    FileErrorMsg(QStringLiteral("read"), path, read.why(), this);
  }
}

void frmPRO::lblMenu_Click(int Index) {
  const std::array<bool, 3> open = panelstack::expandedStates(Index);
  for (int i = 0; i < 3; ++i) vMenu[i]->setExpanded(open[i]);

  std::array<float, 3> heights{};
  for (int i = 0; i < 3; ++i) heights[i] = float(vMenu[i]->Height());
  const std::array<float, 3> tops = panelstack::restack(float(vMenu[0]->Top()), heights);
  for (int i = 0; i < 3; ++i) vMenu[i]->setTop(int(std::lround(tops[i])));
  showOpenPanelsOnly();
}

void frmPRO::showOpenPanelsOnly() {
  const int headerLine = twips::toPixels(vFrame::kClosedHeight, twips::dpiOf(this));
  for (vFrame* panel : vMenu) {
    for (QWidget* child : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      // The header line stays as it is, lblNotAvailable's own state included.
      if (child->geometry().top() < headerLine) continue;
      child->setVisible(panel->expanded());
    }
  }
}

void frmPRO::cmdUpdate_Click(int Index) {
  if (Index == 1) usedHeadCode_ = txtRetargeting->toPlainText();
  if (!browser_) {
    runAction(Index);
    return;
  }
  // Unsaved edits of the page in the main window are settled first, so the
  // rewrite and the edits cannot overwrite each other.
  QPointer<frmPRO> self(this);
  browser_->session()->settleEdits([self, Index](bool proceed) {
    if (self && proceed) self->runAction(Index);
  });
}

void frmPRO::runAction(int Index) {
  switch (Index) {
    case 0: {
      const history::Action action(QStringLiteral("Page Title"));
      UpdatePageTitle();
      break;
    }
    case 1: {
      const history::Action action(QStringLiteral("Head Code"));
      if (chkAllPagesHead->isChecked())
        everypage::insertHeadCode(pageList_, browser_, headCode(), this);
      else
        insertAndReport(headCode());
      break;
    }
    case 2: {
      const history::Action action(QStringLiteral("Back Button"));
      backButtonAction();
      break;
    }
    default:
      break;
  }
}

void frmPRO::Command2_Click() { close(); }

QString frmPRO::headCode() const {
  // toPlainText() would turn no-break spaces into plain ones, and the code
  // then differs from the one kept in My Code; the raw text keeps them.
  QString text = txtRetargeting->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));
  return text;
}

void frmPRO::reject() {
  const QString code = txtRetargeting->toPlainText();
  if (!code.trimmed().isEmpty() && code != usedHeadCode_ &&
      MsgBox(QStringLiteral("Close Pro Version? The code you pasted has not been put into a page."),
             MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("Pro Version"),
             this) != MsgAnswer::Yes)
    return;
  QDialog::reject();
}

QString frmPRO::currentPage() const { return pageList_ ? pageList_->currentText() : QString(); }

frmPRO::Outcome frmPRO::InsertHeadCode(const QString& sCodeToInsert) {
  // Edited in the page's own bytes, the same bytes the text way would give.
  const pagebatch::PageOutcome done =
      pagebatch::editPage(currentPage(), [&](const QByteArray& bytes) {
        pagebatch::PageEdit edit;
        if (std::optional<QByteArray> edited = byteedits::insertHeadCode(bytes, sCodeToInsert)) {
          edit.bytes = std::move(*edited);
          edit.changes = 1;
        } else {
          edit.refused = QStringLiteral("the <HEAD> tag is missing");
        }
        return edit;
      });
  if (pagebatch::reportFileFault(done, this)) return Outcome::FileFailed;
  return done.fault == pagebatch::PageOutcome::Fault::Refused ? Outcome::NoHeadTag
                                                              : Outcome::Written;
}

void frmPRO::insertAndReport(const QString& code) {
  switch (InsertHeadCode(code)) {
    case Outcome::Written:
      if (browser_) browser_->Navigate2(currentPage());
      MsgBox(QStringLiteral("Done!"), MsgButtons::OkOnly, MsgIcon::Information,
             QStringLiteral("Done"), this);
      break;
    case Outcome::NoHeadTag:
      MsgBox(QStringLiteral("Broken HTML file (<HEAD> tag is missing. Can't complete this action"),
             MsgButtons::OkOnly, MsgIcon::Information, QStringLiteral("Broken HTML File"), this);
      break;
    case Outcome::FileFailed:
      break;  // already reported, file as it was
  }
}

void frmPRO::UpdatePageTitle() {
  const QString target = currentPage();
  const QString title = Text1->text();
  const pagebatch::PageOutcome done = pagebatch::editPage(target, [&](const QByteArray& bytes) {
    pagebatch::PageEdit edit;
    // No closing head tag: silently nothing.
    if (std::optional<QByteArray> edited = byteedits::updatePageTitle(bytes, title)) {
      edit.bytes = std::move(*edited);
      edit.changes = 1;
    }
    return edit;
  });
  if (pagebatch::reportFileFault(done, this) || done.changes == 0) return;
  // The title shows at the next viewing; but an editor still holding the old
  // file would write it back, so while the main window edits the page it
  // shows the page again.
  if (browser_ && browser_->state()->editing() &&
      QFileInfo(browser_->LocationPath()) == QFileInfo(target))
    browser_->Navigate2(target);
}

void frmPRO::backButtonAction() {
  txtBackControlParsed.text = txtBackControl.text;
  txtBackControlParsed.text =
      textedits::fillBackTemplate(txtBackControlParsed.text, txtBackRedirect->text());
  insertAndReport(txtBackControlParsed.text);
}
