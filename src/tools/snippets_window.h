#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>
#include <functional>

#include "tools/snippet_pages.h"
#include "tools/snippet_store.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QsciScintilla;
class WebBrowser;

// My Code: the user's own pieces of code, kept once and used on many pages.
// It shows where the chosen one is used in the pages of the list, and after
// its code has changed puts the new code in place of the old on those pages,
// once the user has said yes. Modeless.
class frmSnippets final : public QDialog {
  Q_OBJECT
 public:
  // insertAtCaret puts a code where the user is working (the page being
  // edited, or the code view); none leaves cmdInsertSnippet disabled.
  using InsertAtCaret = std::function<void(const QString& code)>;
  frmSnippets(QComboBox* pageList, WebBrowser* browser, InsertAtCaret insertAtCaret = {},
              QWidget* parent = nullptr);

  // What the Import and Export buttons do once a file is chosen.
  void importFrom(const QString& path);
  void exportTo(const QString& path);

 public slots:
  void lstSnippets_Click();
  void cmdNewSnippet_Click();
  void cmdSaveSnippet_Click();
  void cmdDeleteSnippet_Click();
  void cmdUpdatePages_Click();
  void cmdInsertSnippet_Click();
  void cmdImport_Click();
  void cmdExport_Click();
  void cmdClose_Click();
  // Looks for the chosen snippet in every page of the list again.
  void refreshUsedOn();
  // Esc: unsaved changes are asked about first.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  void loadStore();
  void fillList(int select);
  void showSnippet(int index);
  // Unsaved changes to the fields are saved or dropped as the user says;
  // false: the user stays with them.
  bool settle();
  bool fieldsChanged() const;
  QString fieldCode() const;
  // Writes the list; on failure says why and puts the list back as it was.
  bool store(const QList<Snippet>& before);
  void runUpdate();

  QPointer<QComboBox> pageList_;
  QPointer<WebBrowser> browser_;
  InsertAtCaret insertAtCaret_;

  QList<Snippet> snippets_;
  int current_ = -1;  // the snippet shown, -1 for a new one
  bool blocked_ = false;
  QList<snippetpages::PageUse> uses_;

  QListWidget* lstSnippets = nullptr;
  QLineEdit* txtSnippetName = nullptr;
  QsciScintilla* txtSnippetCode = nullptr;
  QPushButton* cmdNewSnippet = nullptr;
  QPushButton* cmdSaveSnippet = nullptr;
  QPushButton* cmdDeleteSnippet = nullptr;
  QLabel* lblUsedOn = nullptr;
  QListWidget* lstUsedOn = nullptr;
  QPushButton* cmdUpdatePages = nullptr;
  QPushButton* cmdInsertSnippet = nullptr;
  QPushButton* cmdImport = nullptr;
  QPushButton* cmdExport = nullptr;
  QPushButton* cmdClose = nullptr;
};
