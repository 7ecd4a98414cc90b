#pragma once

#include <QDialog>

class QComboBox;

// The welcome window: brings pages into the page list, by drops or by a
// folder picker.
class frmdropfiles final : public QDialog {
  Q_OBJECT
 public:
  explicit frmdropfiles(QComboBox* pageList, QWidget* parent = nullptr);

 private:
  QComboBox* pageList_;
};
