// My Code, opened from the header band's link (its keys come with the list of
// actions), and its code put where the user is working.
#include <Qsci/qsciscintilla.h>

#include <QComboBox>
#include <QMenu>
#include <QWebEngineView>

#include "app/main_window.h"
#include "app/main_window_layout.h"
#include "editor/code_view.h"
#include "editor/document_ops.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "tools/my_code.h"
#include "tools/snippets_window.h"
#include "widgets/link_label.h"
#include "widgets/look.h"
#include "widgets/msg_box.h"
#include "widgets/twips.h"

void Form2::setUpMyCode() {
  lblMyCode = new LinkLabel(QStringLiteral("My Code"), Picture2);
  lblMyCode->setObjectName(QStringLiteral("lblMyCode"));
  lblMyCode->setFont(look::font(QStringLiteral("MS Sans Serif"), 8.25, true, true));
  look::setTextColor(lblMyCode, QColor(160, 255, 160));
  twips::place(lblMyCode, 9510, 270, MainWindowMetrics{}.lblMyCodeWidth, 240);
  connect(lblMyCode, &LinkLabel::clicked, this, &Form2::lblMyCode_Click);

  // The code's own menu, with the kept codes to put at the caret.
  QsciScintilla* code = CodeView1->editor();
  code->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(code, &QWidget::customContextMenuRequested, this, [this, code](const QPoint& at) {
    QMenu* menu = code->createStandardContextMenu();
    menu->setObjectName(QStringLiteral("mnuCode"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QList<Snippet> snippets = code->isReadOnly() ? QList<Snippet>() : mycode::load(this);
    if (!snippets.isEmpty()) {
      menu->addSeparator();
      QMenu* mine = menu->addMenu(QStringLiteral("Insert My Code"));
      mine->setObjectName(QStringLiteral("mnuCodeMyCode"));
      for (const Snippet& s : snippets) {
        QString label = s.name;
        label.replace(u'&', QStringLiteral("&&"));  // not a mnemonic
        const QString text = s.code;
        connect(mine->addAction(label), &QAction::triggered, this,
                [this, text] { insertSnippet(text); });
      }
    }
    menu->popup(code->viewport()->mapToGlobal(at));
  });
}

void Form2::lblMyCode_Click() {
  // Codes can be kept before any page is added.
  if (!snippets_)
    snippets_ = new frmSnippets(
        Combo1, WebBrowser1, [this](const QString& code) { insertSnippet(code); }, this);
  snippets_->show();
  snippets_->raise();
  snippets_->activateWindow();
}

void Form2::insertSnippet(const QString& code) {
  const EditingState* state = WebBrowser1->state();
  if (state->codeShown() && CodeView1->isOpen()) {
    QsciScintilla* editor = CodeView1->editor();
    if (editor->isReadOnly()) {
      MsgBox(QStringLiteral("This page cannot be changed: it is read-only."), MsgButtons::OkOnly,
             MsgIcon::Information, QStringLiteral("My Code"), this);
      return;
    }
    // The code takes the page's own line breaks.
    QString text = code;
    if (editor->eolMode() == QsciScintilla::EolWindows)
      text.replace(u'\n', QStringLiteral("\r\n"));
    else if (editor->eolMode() == QsciScintilla::EolMac)
      text.replace(u'\n', u'\r');
    editor->replaceSelectedText(text);
    activateWindow();
    editor->setFocus();
    return;
  }
  if (state->editing() && state->holdsEdit() && !state->busy()) {
    documentops::run(WebBrowser1, QStringLiteral("insertHtml"), {code}, this);
    activateWindow();
    WebBrowser1->view()->setFocus();
    return;
  }
  MsgBox(QStringLiteral("To put the code into a page, press \"Edit Page\" first, or show the "
                        "page's code."),
         MsgButtons::OkOnly, MsgIcon::Information, QStringLiteral("My Code"), this);
}
