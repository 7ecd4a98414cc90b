#pragma once

#include <QDialog>

// The Quick Help window, which also holds the alternative-save switch.
class frmQuickHelp final : public QDialog {
  Q_OBJECT
 public:
  explicit frmQuickHelp(QWidget* parent = nullptr);
};
