// What the preview shows while no page is listed: what Quorvane does, in
// three steps, and a large button that opens the welcome window.
#include <QAbstractItemModel>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/main_window.h"
#include "widgets/look.h"
#include "widgets/named.h"

void Form2::setUpGuide() {
  frGuide = named(new QWidget(this), "frGuide");
  look::setBackground(frGuide, Qt::white);
  auto* lblGuide = named(
      new QLabel(
          QStringLiteral("<h2>Change the text of your web pages, then save them back in place</h2>"
                         "<ol>"
                         "<li><b>Add your pages:</b> the .htm / .html files of your product.</li>"
                         "<li><b>Choose a page</b> from the list above and press <b>Edit Page</b>; "
                         "type in the page as in a word processor.</li>"
                         "<li><b>Save:</b> only what you changed is written. Add your buy button "
                         "with <b>Add HTML Code</b>, then <b>Check</b> and <b>Publish</b>.</li>"
                         "</ol>"),
          frGuide),
      "lblGuide");
  lblGuide->setTextFormat(Qt::RichText);
  lblGuide->setWordWrap(true);
  look::setTextColor(lblGuide, QColor(32, 32, 32));
  cmdAddPages = named(new QPushButton(QStringLiteral("Add Your Pages"), frGuide), "cmdAddPages");
  cmdAddPages->setToolTip(QStringLiteral("Open the welcome window and bring your pages in"));
  QFont big = cmdAddPages->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  cmdAddPages->setFont(big);
  cmdAddPages->setMinimumHeight(cmdAddPages->sizeHint().height() * 3 / 2);
  cmdAddPages->setDefault(true);
  auto* column = new QVBoxLayout(frGuide);
  column->addStretch(1);
  column->addWidget(lblGuide, 0, Qt::AlignHCenter);
  column->addSpacing(16);
  column->addWidget(cmdAddPages, 0, Qt::AlignHCenter);
  column->addStretch(2);
  // A wrapped label centred in a column is given its one-line height: it is
  // sized for its width here.
  lblGuide->setFixedWidth(620);
  lblGuide->setMinimumHeight(lblGuide->heightForWidth(620));
  connect(cmdAddPages, &QPushButton::clicked, this, &Form2::Command5_Click);

  // The guide stands while the list is empty, however it became so.
  QAbstractItemModel* pages = Combo1->model();
  connect(pages, &QAbstractItemModel::rowsInserted, this, &Form2::showGuide);
  connect(pages, &QAbstractItemModel::rowsRemoved, this, &Form2::showGuide);
  connect(pages, &QAbstractItemModel::modelReset, this, &Form2::showGuide);
  showGuide();
}

void Form2::showGuide() {
  const bool empty = Combo1->count() == 0;
  frGuide->setVisible(empty);
  if (!empty) return;
  frGuide->setGeometry(splView->geometry());
  frGuide->raise();
}
