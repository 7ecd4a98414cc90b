#pragma once

#include <QDialog>
#include <QList>

#include "app/actions.h"

class QTreeWidget;

// Keyboard Shortcuts: every key of the program, by group, read from the list
// of actions. Modeless; it goes when closed.
class frmShortcuts final : public QDialog {
  Q_OBJECT
 public:
  explicit frmShortcuts(const QList<Action>& actions, QWidget* parent = nullptr);

 private:
  QTreeWidget* lstShortcuts = nullptr;
};
