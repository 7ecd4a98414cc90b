#pragma once

#include <QDialog>

#include "text/text_buffer.h"

class QCheckBox;
class QLabel;
class QPushButton;

// The Quick Help window: short help texts and the alternative-save switch,
// which only its "Close" button applies.
class frmQuickHelp final : public QDialog {
  Q_OBJECT
 public:
  explicit frmQuickHelp(QWidget* parent = nullptr);

 public slots:
  void Form_Load();
  void Command1_Click();

 private:
  void buildControls();
  QLabel* addText(const QString& text, const char* name);

  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* Label8 = nullptr;
  QLabel* Label9 = nullptr;
  QCheckBox* Check1 = nullptr;
  QLabel* Label10 = nullptr;
  QPushButton* Command1 = nullptr;
  // What the switch file receives.
  TextBuffer Text1{QStringLiteral("Text1"), TextEncoding::Utf8};
};
