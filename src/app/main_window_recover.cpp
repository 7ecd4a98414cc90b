// Edits a crash, a power cut or a kill left unsaved: offered at start, one
// question per page, and taken up in the editor one page at a time.
#include <QComboBox>
#include <QFileInfo>
#include <QTimer>

#include "app/main_window.h"
#include "editor/edit_session.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "files/page_limit.h"
#include "widgets/msg_box.h"

bool Form2::offerRecovery() {
  std::vector<unsavededits::Kept> taken;
  for (unsavededits::Kept& kept : unsavededits::pending()) {
    const QString page = kept.base.page;
    const MsgAnswer answer =
        MsgBox(QStringLiteral("Quorvane closed before your changes to %1 were saved. "
                              "Recover them?")
                   .arg(QFileInfo(page).fileName()),
               MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("Recover"), this);
    if (answer == MsgAnswer::Yes)
      taken.push_back(std::move(kept));
    else
      unsavededits::drop(page);
  }
  if (taken.empty()) return false;
  {
    // Listed without being shown: the first is shown being edited below.
    const QSignalBlocker quiet(Combo1);
    for (const unsavededits::Kept& kept : taken) Combo1->addItem(kept.base.page);
  }
  recovering_ = std::move(taken);
  // The next recovered page is taken up once the one before is settled.
  connect(WebBrowser1->state(), &EditingState::changed, this, [this] {
    const EditingState* state = WebBrowser1->state();
    if (!recovering_.empty() && !state->editing() && !state->holdsEdit() && !state->busy())
      QTimer::singleShot(0, this, &Form2::takeUpRecovered);
  });
  takeUpRecovered();
  return true;
}

void Form2::takeUpRecovered() {
  EditingState* state = WebBrowser1->state();
  if (recovering_.empty() || state->editing() || state->holdsEdit()) return;
  const unsavededits::Kept kept = recovering_.front();
  recovering_.erase(recovering_.begin());
  const QString page = kept.base.page;
  if (const Status editable = pagelimit::editable(page); !editable) {
    // The copy stays for a later start, when the file may be back.
    FileErrorMsg(QStringLiteral("recover the changes to"), page, editable.why(), this);
    takeUpRecovered();
    return;
  }
  {
    const QSignalBlocker quiet(Combo1);
    Combo1->setCurrentIndex(Combo1->findText(page));
  }
  WebBrowser1->session()->recover(kept);
  state->setEditing(true);
  WebBrowser1->Navigate2(page);
}
