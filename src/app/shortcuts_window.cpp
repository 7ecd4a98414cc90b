#include "app/shortcuts_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "widgets/named.h"

frmShortcuts::frmShortcuts(const QList<Action>& actions, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmShortcuts"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Keyboard Shortcuts"));

  lstShortcuts = named(new QTreeWidget(this), "lstShortcuts");
  lstShortcuts->setColumnCount(2);
  lstShortcuts->setHeaderLabels({QStringLiteral("Action"), QStringLiteral("Keys")});
  lstShortcuts->setRootIsDecorated(false);
  lstShortcuts->setToolTip(
      QStringLiteral("Every key of the program; point at a row for what "
                     "it does"));
  for (const QString& group : actions::groups(actions)) {
    QTreeWidgetItem* heading = nullptr;
    for (const Action& a : actions) {
      if (a.group != group || a.keys.isEmpty()) continue;
      if (!heading) {
        heading = new QTreeWidgetItem(lstShortcuts, {group});
        QFont bold = heading->font(0);
        bold.setBold(true);
        heading->setFont(0, bold);
        heading->setFirstColumnSpanned(true);
        heading->setFlags(Qt::ItemIsEnabled);
      }
      auto* row = new QTreeWidgetItem(heading, {a.text, actions::keyText(a)});
      if (!a.tip.isEmpty()) {
        row->setToolTip(0, a.tip);
        row->setToolTip(1, a.tip);
      }
    }
  }
  lstShortcuts->expandAll();
  lstShortcuts->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  QPushButton* cmdClose = named(buttons->button(QDialogButtonBox::Close), "cmdClose");
  cmdClose->setToolTip(QStringLiteral("Close this window (Esc)"));
  cmdClose->setDefault(true);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* column = new QVBoxLayout(this);
  column->addWidget(lstShortcuts);
  column->addWidget(buttons);
  resize(560, 520);
}
