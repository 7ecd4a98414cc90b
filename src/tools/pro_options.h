#pragma once

#include <QDialog>
#include <array>

#include "text/text_buffer.h"

class LinkLabel;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class WebBrowser;
class vFrame;

// The Pro options window: page title, head code and back-button redirect,
// each in a collapsible panel, all acting on the current page's file.
class frmPRO final : public QDialog {
  Q_OBJECT
 public:
  frmPRO(QComboBox* pageList, WebBrowser* browser, QWidget* parent = nullptr);
  // Esc: closes, asking first when pasted head code has not been put into a page.
  void reject() override;

 private:
  enum class Outcome { Written, NoHeadTag, FileFailed };

  void buildControls();
  void buildTitlePanel();
  void buildHeadCodePanel();
  void buildBackButtonPanel();
  void Form_Load();
  void loadBackTemplate();

  void lblMenu_Click(int Index);
  void cmdUpdate_Click(int Index);
  void Command2_Click();

  Outcome InsertHeadCode(const QString& sCodeToInsert);
  void runAction(int Index);
  void insertAndReport(const QString& code);
  void UpdatePageTitle();
  void backButtonAction();

  QString currentPage() const;
  // The head-code box's text exactly as typed or pasted.
  QString headCode() const;
  // Keeps the controls of a closed panel out of sight and out of the tab order.
  void showOpenPanelsOnly();

  QComboBox* pageList_;
  WebBrowser* browser_;

  std::array<vFrame*, 3> vMenu{};
  std::array<LinkLabel*, 3> lblMenu{};
  std::array<QPushButton*, 3> cmdUpdate{};
  QPushButton* Command2 = nullptr;

  QLineEdit* Text1 = nullptr;
  QPlainTextEdit* txtRetargeting = nullptr;
  QComboBox* cboHeadSnippet = nullptr;
  QCheckBox* chkAllPagesHead = nullptr;
  QLineEdit* txtBackRedirect = nullptr;
  QLabel* lblNotAvailable = nullptr;

  TextBuffer txtHTMLFile;
  TextBuffer txtBackControl;
  TextBuffer txtBackControlParsed;
  // The head code as last sent to a page: closing loses nothing while it stands.
  QString usedHeadCode_;
};
