#pragma once

#include <QDialog>
#include <QPointer>

#include "text/text_buffer.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class WebBrowser;

// The Insert Code window: replaces a tag in the current page's file with HTML
// code, and builds links into that code. Modeless; it works on whatever page
// is current in the main window when a button is clicked.
class Form3 final : public QDialog {
  Q_OBJECT
 public:
  Form3(QComboBox* pageList, WebBrowser* browser, QWidget* parent = nullptr);

 public slots:
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  // Esc: closes, asking first when typed code has not been put into a page.
  void reject() override;

 private:
  void buildControls();
  void runInsertion();
  void insertIntoCurrentPage();
  // The code box's text exactly as typed or pasted.
  QString codeText() const;

  // Both belong to the main window, which may be gone before this window.
  QPointer<QComboBox> pageList_;
  QPointer<WebBrowser> browser_;

  QLabel* Label1 = nullptr;
  QLineEdit* txtToFind = nullptr;
  QCheckBox* chkAllPages = nullptr;
  QLabel* Label2 = nullptr;
  QComboBox* cboSnippet = nullptr;
  QPlainTextEdit* txtToReplace = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QLineEdit* txtLinkUrl = nullptr;
  QLabel* Label5 = nullptr;
  QLineEdit* txtLinkTitle = nullptr;
  QPushButton* Command3 = nullptr;
  QGroupBox* Frame1 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* Label7 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  TextBuffer txtHTMLFile;
  // The code as last sent to a page: closing loses nothing while it stands.
  QString usedCode_;
};
