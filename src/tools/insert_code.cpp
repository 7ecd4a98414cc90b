#include "tools/insert_code.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextDocument>

#include "editor/edit_session.h"
#include "editor/web_browser.h"
#include "files/history_action.h"
#include "tools/byte_edits.h"
#include "tools/every_page.h"
#include "tools/my_code.h"
#include "tools/page_batch.h"
#include "tools/text_edits.h"
#include "widgets/msg_box.h"
#include "widgets/named.h"
#include "widgets/tips.h"
#include "widgets/twips.h"

namespace {

QLabel* boldLabel(const QString& text, QWidget* parent, const char* name) {
  auto* label = named(new QLabel(text, parent), name);
  QFont f = label->font();
  f.setBold(true);
  label->setFont(f);
  return label;
}

}  // namespace

Form3::Form3(QComboBox* pageList, WebBrowser* browser, QWidget* parent)
    : QDialog(parent), pageList_(pageList), browser_(browser) {
  setObjectName(QStringLiteral("Form3"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Insert Code"));
  buildControls();
  tips::set(
      this,
      {{"txtToFind", "The tag in the page to replace, such as [BUYBUTTON]"},
       {"chkAllPages", "Replace the tag in every page of the list, not only the current one"},
       {"txtToReplace", "The HTML code that takes the tag's place (Shift+Enter for a new line)"},
       {"txtLinkUrl", "The web address the link goes to"},
       {"txtLinkTitle", "The words of the link"},
       {"Command3", "Write a link from the address and the words into the code box"},
       {"Command1", "Replace every copy of the tag in the page with the code and save the page"},
       {"Command2", "Close this window (Esc)"}});
}

void Form3::buildControls() {
  setFixedSize(twips::toPixels(9360, twips::dpiOf(this)),
               twips::toPixels(7650, twips::dpiOf(this)));

  Label1 = boldLabel(QStringLiteral("Tag to Find:"), this, "Label1");
  twips::place(Label1, 240, 285, 1320, 255);
  txtToFind = named(new QLineEdit(QStringLiteral("[BUYBUTTON]"), this), "txtToFind");
  twips::place(txtToFind, 1560, 240, 2775, 315);
  chkAllPages =
      named(new QCheckBox(QStringLiteral("In every page of the list"), this), "chkAllPages");
  twips::place(chkAllPages, 1560, 630, 4200, 285);

  Label2 = boldLabel(QStringLiteral("Replace with the following HTML code:"), this, "Label2");
  twips::place(Label2, 240, 1050, 6000, 255);
  txtToReplace = named(new QPlainTextEdit(this), "txtToReplace");
  txtToReplace->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // A text box, not an editor: Tab moves on to the next control.
  txtToReplace->setTabChangesFocus(true);
  twips::place(txtToReplace, 240, 1335, 8880, 2415);
  // A kept code of My Code fills the code box; Ctrl+Z takes it back.
  cboSnippet = mycode::chooser(this, QStringLiteral("cboSnippet"), [this](const QString& code) {
    QTextCursor all = txtToReplace->textCursor();
    all.select(QTextCursor::Document);
    all.insertText(code);
    txtToReplace->setTextCursor(all);
    txtToReplace->setFocus();
  });
  Label2->resize(twips::toPixels(5640, twips::dpiOf(this)), Label2->height());
  twips::place(cboSnippet, 6000, 990, 3120, 315);

  Label3 = boldLabel(QStringLiteral("Want to Add a Link to the HTML Code?"), this, "Label3");
  twips::place(Label3, 240, 3930, 6000, 255);
  Label4 = named(new QLabel(QStringLiteral("Enter the URL:"), this), "Label4");
  twips::place(Label4, 240, 4245, 3495, 225);
  txtLinkUrl = named(new QLineEdit(QStringLiteral("http://"), this), "txtLinkUrl");
  twips::place(txtLinkUrl, 240, 4485, 3495, 315);
  Label5 = named(new QLabel(QStringLiteral("Enter the Link Title:"), this), "Label5");
  twips::place(Label5, 3855, 4245, 2655, 225);
  txtLinkTitle = named(new QLineEdit(this), "txtLinkTitle");
  twips::place(txtLinkTitle, 3855, 4485, 2655, 315);
  Command3 = named(new QPushButton(QStringLiteral("Add Link to HTML Code"), this), "Command3");
  twips::place(Command3, 6630, 4440, 2490, 405);

  Frame1 = named(new QGroupBox(QStringLiteral("Instructions"), this), "Frame1");
  QFont bold = Frame1->font();
  bold.setBold(true);
  Frame1->setFont(bold);
  twips::place(Frame1, 240, 5070, 8880, 1695);
  Label6 = named(
      new QLabel(QStringLiteral("You can use this module to insert a buy button code or any other "
                                "kind of code (opt-in form code etc).  To use this function, first "
                                "insert the tag ([BUYBUTTON] or another one that you can create), "
                                "inside your document. "),
                 Frame1),
      "Label6");
  // The frame's caption is bold, its texts are not.
  QFont plain = Frame1->font();
  plain.setBold(false);
  Label6->setFont(plain);
  Label6->setWordWrap(true);
  twips::place(Label6, 180, 330, 8520, 660);
  Label7 = named(new QLabel(QStringLiteral("Then enter the HTML code that will be used to replace "
                                           "your tag and click the \"Insert HTML Code\" button."),
                            Frame1),
                 "Label7");
  Label7->setFont(plain);
  Label7->setWordWrap(true);
  twips::place(Label7, 180, 1035, 8520, 495);

  Command1 = named(new QPushButton(QStringLiteral("Insert HTML Code"), this), "Command1");
  twips::place(Command1, 2640, 6930, 2280, 495);
  Command2 = named(new QPushButton(QStringLiteral("Close"), this), "Command2");
  twips::place(Command2, 5040, 6930, 1680, 495);

  // Enter in a text box must not start a rewrite of the page by itself.
  for (QPushButton* b : {Command1, Command2, Command3}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }

  setTabOrder(txtToReplace, cboSnippet);
  setTabOrder(cboSnippet, txtToFind);
  setTabOrder(txtToFind, chkAllPages);
  setTabOrder(chkAllPages, txtLinkUrl);
  setTabOrder(txtLinkUrl, txtLinkTitle);
  setTabOrder(txtLinkTitle, Command3);
  setTabOrder(Command3, Command1);
  setTabOrder(Command1, Command2);
  txtToReplace->setFocus();

  connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &Form3::Command2_Click);
  connect(Command3, &QPushButton::clicked, this, &Form3::Command3_Click);
}

QString Form3::codeText() const {
  // toPlainText() would turn no-break spaces into plain ones; the raw text
  // keeps every character and only marks line breaks as paragraph separators.
  QString text = txtToReplace->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));  // Shift+Enter
  return text;
}

void Form3::Command1_Click() {
  if (!pageList_) return;
  usedCode_ = codeText();
  if (!browser_) {
    runInsertion();
    return;
  }
  // Unsaved edits of the page in the main window are settled first, so the
  // insertion and the edits cannot overwrite each other.
  QPointer<Form3> self(this);
  browser_->session()->settleEdits([self](bool proceed) {
    if (self && proceed) self->runInsertion();
  });
}

void Form3::runInsertion() {
  if (chkAllPages->isChecked()) {
    const history::Action action(QStringLiteral("Insert Code"));
    everypage::replaceTag(pageList_, browser_, txtToFind->text(), codeText(), this);
  } else {
    insertIntoCurrentPage();
  }
}

void Form3::insertIntoCurrentPage() {
  if (!pageList_) return;
  // Read once: nothing can change the current page within this click, and the
  // file that was read must be the one written.
  const QString page = pageList_->currentText();

  // The page's own bytes are edited (the same bytes the text way would give).
  const QString tag = txtToFind->text();
  const QString code = codeText();
  const history::Action action(QStringLiteral("Insert Code"));
  const pagebatch::PageOutcome done = pagebatch::editPage(page, [&](const QByteArray& bytes) {
    pagebatch::PageEdit edit;
    edit.bytes = byteedits::replaceTag(bytes, tag, code);
    edit.changes = edit.bytes != bytes ? 1 : 0;
    return edit;
  });
  if (pagebatch::reportFileFault(done, this)) return;
  if (browser_) browser_->Navigate2(page);
  MsgBox(QStringLiteral("Done!"), MsgButtons::OkOnly, MsgIcon::Information, QStringLiteral("Done"),
         this);
}

void Form3::Command2_Click() { close(); }

void Form3::reject() {
  const QString code = codeText();
  if (!code.trimmed().isEmpty() && code != usedCode_ &&
      MsgBox(QStringLiteral("Close Insert Code? The code you typed has not been put into a page."),
             MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("Insert Code"),
             this) != MsgAnswer::Yes)
    return;
  QDialog::reject();
}

void Form3::Command3_Click() {
  const QString url = txtLinkUrl->text();
  const QString title = txtLinkTitle->text();
  // insertText replaces the selection, or inserts at the caret, and leaves the
  // caret behind the inserted text.
  QTextCursor cursor = txtToReplace->textCursor();
  cursor.insertText(textedits::linkHtml(url, title));
  txtToReplace->setTextCursor(cursor);
}
