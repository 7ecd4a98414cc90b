// Check Pages, opened from the header band's link (its keys are in the action list).
#include <QComboBox>

#include "app/main_window.h"
#include "tools/check_window.h"
#include "widgets/link_label.h"
#include "widgets/look.h"
#include "widgets/twips.h"

void Form2::setUpCheck() {
  lblCheck = new LinkLabel(QStringLiteral("Check"), Picture2);
  lblCheck->setObjectName(QStringLiteral("lblCheck"));
  lblCheck->setFont(look::font(QStringLiteral("MS Sans Serif"), 8.25, true, true));
  look::setTextColor(lblCheck, QColor(160, 255, 160));
  twips::place(lblCheck, 10390, 270, 735, 240);
  connect(lblCheck, &LinkLabel::clicked, this, &Form2::lblCheck_Click);
}

void Form2::lblCheck_Click() {
  // Every page of the list is checked, even with the page box empty.
  if (Combo1->count() == 0 && refuseWithoutPage()) return;
  if (!check_) check_ = new frmCheck(Combo1, WebBrowser1, this);
  check_->show();
  check_->raise();
  check_->activateWindow();
}
