// The edit-and-save cycle of the main window: the edit button and closing
// while a page is being edited.
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>

#include "app/edit_captions.h"
#include "app/main_window.h"
#include "editor/code_view.h"
#include "editor/edit_session.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "files/page_limit.h"
#include "help/save_switch.h"
#include "tools/insert_code.h"
#include "widgets/msg_box.h"

void Form2::showEditingState() {
  const bool editing = WebBrowser1->state()->editing();
  Command2->setText(editing ? kSaveDiscard : kEditPage);
  for (QWidget* control : {static_cast<QWidget*>(Command5), static_cast<QWidget*>(Combo1),
                           static_cast<QWidget*>(Command1)})
    control->setEnabled(!editing);
}

void Form2::Command2_Click() {
  const QString page = currentPage();
  if (page.isEmpty()) {
    MsgBox(QStringLiteral("Please add one or more web pages (.htm / .html files) to edit first."),
           MsgButtons::OkOnly, MsgIcon::Information, QStringLiteral("Missing Info"), this);
    return;
  }
  EditingState* state = WebBrowser1->state();
  // The page is edited in the page view: the code's edits are settled first.
  if (state->codeShown()) {
    requestView(EditingState::View::Page);
    if (state->codeShown()) return;
  }
  if (!state->editing()) {
    // Nothing to edit, more than the engine can hold, or bytes the editor
    // would lose: say so and stay.
    if (const Status editable = pagelimit::editable(page); !editable) {
      FileErrorMsg(QStringLiteral("edit"), page, editable.why(), this);
      return;
    }
    // The page loads again without its scripts and takes typing once parsed.
    state->setEditing(true);
    WebBrowser1->Navigate2(page);
    return;
  }
  state->setEditing(false);
  if (saveswitch::isOn())
    saveByQuestion(page);
  else
    // Leaving the changed document makes the browser offer to save it.
    WebBrowser1->Navigate2(page);
}

void Form2::saveByQuestion(const QString& page) {
  if (MsgBox(QStringLiteral("Save changes?"), MsgButtons::YesNo, MsgIcon::Question,
             QStringLiteral("Save"), this) != MsgAnswer::Yes) {
    endSaveByQuestion(page);
    return;
  }
  // The same save as leaving the page: to the file the edit came from, only
  // the edited stretches where they can be placed, asking first when another
  // program changed the file. A failure was shown already; the edits stay in
  // the editor, and the state says the user is editing again.
  QPointer<Form2> self(this);
  WebBrowser1->session()->save([self, page](bool saved) {
    if (self && saved) self->endSaveByQuestion(page);
  });
}

void Form2::endSaveByQuestion(const QString& page) {
  MsgBox(QStringLiteral("Done!"), MsgButtons::OkOnly, MsgIcon::Information, QStringLiteral("Done"),
         this);
  // The user has answered already; the reload must not ask a second time.
  WebBrowser1->session()->forgetEdits();
  WebBrowser1->Navigate2(page);
}

void Form2::closeEvent(QCloseEvent* event) {
  if (!CodeView1->settle()) {
    event->ignore();
    return;
  }
  QPointer<Form2> self(this);
  if (!WebBrowser1->session()->readyToClose([self] {
        if (self) self->close();
      })) {
    event->ignore();
    return;
  }
  // The Insert Code window closes with the main window.
  if (insertCode_) insertCode_->close();
  QWidget::closeEvent(event);
}
