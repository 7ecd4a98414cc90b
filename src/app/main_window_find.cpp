// Find and Replace, opened from the main window (its keys are in the action list).
#include <QComboBox>

#include "app/main_window.h"
#include "tools/find_window.h"

void Form2::ShowFind() {
  // Every page of the list can be searched, even with the page box empty.
  if (Combo1->count() == 0 && refuseWithoutPage()) return;
  if (!find_) find_ = new frmFind(Combo1, WebBrowser1, this);
  find_->show();
  find_->raise();
  find_->activateWindow();
}
