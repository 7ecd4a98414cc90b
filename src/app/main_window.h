#pragma once

#include <QPointer>
#include <QVariantList>
#include <QWidget>

#include "app/actions.h"
#include "editor/device_view.h"
#include "editor/editing_state.h"
#include "files/unsaved_edits.h"

class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMimeData;
class QPushButton;
class QSplitter;
class CodeView;
class QTimer;
class LinkLabel;
class WebBrowser;
class frmdropfiles;
class Form3;
class frmPRO;
class frmFind;
class frmCheck;
class frmSnippets;
class frmQuickHelp;
class frmHistory;
class frmPublish;
class frmAbout;
class frmShortcuts;
class EditorMenu;

// The main window: page list, preview, the commands that open the other
// windows, and the edit-and-save button. It lives for the whole run.
class Form2 final : public QWidget {
  Q_OBJECT
 public:
  explicit Form2(QWidget* parent = nullptr);
  ~Form2() override;

  static constexpr auto kProductName = "Quorvane";
  static constexpr auto kVersion = QV_VERSION;  // the project version, from CMake

  // The current page: the page list's text, read afresh at every use.
  QString currentPage() const;
  // Whether the welcome window is showing; asking never creates it.
  bool welcomeShowing() const;

  // Every action of the program: the source of the menu, the keys, the
  // Keyboard Shortcuts window and the header links (main_window_actions.cpp).
  const QList<Action>& actionList() const { return actions_; }

  // Drops onto the window's surface and onto the page list: both replace the
  // list with every dropped path; only a surface drop selects (and shows) one.
  void Form_OLEDragDrop(const QMimeData* Data);
  void Combo1_OLEDragDrop(const QMimeData* Data);

 public slots:
  void Form_Load();
  void Form_Activate();
  void Form_Resize();
  void Timer1_Timer();
  void Combo1_Click();
  void WebBrowser1_DownloadComplete();
  void Command5_Click();
  void Command1_Click();
  void cmdPro_Click();
  void lblHelp_Click();
  void lblHistory_Click();
  // Ctrl+Shift+Z while viewing: the page as it was before its last change.
  void undoLastChange();
  void lblPublish_Click();
  void Command2_Click();
  // Ctrl+H / Ctrl+F: the Find and Replace window (main_window_find.cpp).
  void ShowFind();
  // The Check link and Ctrl+Shift+C: the Check Pages window (main_window_check.cpp).
  void lblCheck_Click();
  // The My Code link and Ctrl+Shift+Y (main_window_snippets.cpp).
  void lblMyCode_Click();
  // A kept code put where the user works: at the caret of the page being
  // edited, or of the code view.
  void insertSnippet(const QString& code);
  // The device views (main_window_device.cpp): cboDevice, cmdRotate, the
  // custom sides, Ctrl+Shift+M between the desktop and the last device.
  void cboDevice_Click(int index);
  void cmdRotate_Click();
  void txtDevice_Change();
  void toggleDevice();
  void cmdSavePicture_Click();
  // Writes the page, as the device view shows it, to file as a PNG picture.
  void savePictureTo(const QString& file);
  void showShortcuts();
  void showAbout();

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Edits a crash left unsaved, offered before the welcome window
  // (main_window_recover.cpp); true when one is taken up.
  bool offerRecovery();
  void takeUpRecovered();
  void buildControls();
  void setUpDrops();
  QList<Action> makeActions();
  void setUpActions();
  // A menu entry runs its action when it can run now.
  void runAction(const QString& name);
  // A key seen before the page or the code: true when an action took it.
  bool runKey(QObject* target, const QKeyEvent* key);
  // The menu's entries and the tooltips of the buttons, as things stand.
  void showActions();
  // The guide over the empty preview (main_window_guide.cpp).
  void setUpGuide();
  void showGuide();
  void setUpCheck();
  void setUpMyCode();
  void setUpDevice();
  // Tells the editing state and keeps the choice for the next run.
  void setDevice(DeviceView device);
  // The device controls as the state says.
  void showDevice();
  void replacePageList(const QStringList& paths);
  bool refuseWithoutPage();
  // The edit-and-save cycle (main_window_edit.cpp).
  // The edit button's caption and the controls that wait, as the state says.
  void showEditingState();
  void saveByQuestion(const QString& page);
  // The code view (main_window_code.cpp).
  void setUpCode();
  // The buttons and panes show the view the state says.
  void showView();
  // Page, Code or Split as the user asks: code edits are settled before the
  // code goes, page edits before it comes.
  void requestView(EditingState::View view);
  void openCode(const QString& page, EditingState::View view);
  // Another page is chosen while the code is shown: its edits settled first
  // (false: the user stays), then the code of page.
  bool leaveCodeFor(const QString& page);
  // Ctrl+S: the code, or the page being edited, saved; editing goes on.
  bool saveShortcut();
  // The preview shows the file again rather than code held in memory.
  void showFileAgain(const QString& path);
  void previewCode();
  void restorePreviewScroll();
  void pageClickedInSplit();
  void outlineCaretElement();
  void endSaveByQuestion(const QString& page);

  QWidget* Picture2 = nullptr;
  QLabel* lblAppName = nullptr;
  QPushButton* cmdPro = nullptr;
  QPushButton* cmdMenu = nullptr;
  QWidget* frGuide = nullptr;
  QPushButton* cmdAddPages = nullptr;
  EditorMenu* editorMenu_ = nullptr;
  QList<Action> actions_;
  // Buttons and links whose tooltip is their action's.
  QList<std::pair<QPointer<QWidget>, QString>> tipped_;
  QComboBox* Combo1 = nullptr;
  QPushButton* Command5 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command1 = nullptr;
  LinkLabel* lblHelp = nullptr;
  LinkLabel* lblHistory = nullptr;
  LinkLabel* lblPublish = nullptr;
  LinkLabel* lblCheck = nullptr;
  LinkLabel* lblMyCode = nullptr;
  WebBrowser* WebBrowser1 = nullptr;
  QSplitter* splView = nullptr;
  CodeView* CodeView1 = nullptr;
  QPushButton* cmdViewPage = nullptr;
  QPushButton* cmdViewCode = nullptr;
  QPushButton* cmdViewSplit = nullptr;
  QTimer* outlineTimer_ = nullptr;
  bool splitPlaced_ = false;
  // Where the preview was scrolled before it was loaded again with the code.
  QVariantList scrollAfterLoad_;
  QGroupBox* frShortcuts = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QTimer* Timer1 = nullptr;
  QComboBox* cboDevice = nullptr;
  QPushButton* cmdRotate = nullptr;
  QLineEdit* txtDeviceWidth = nullptr;
  QLineEdit* txtDeviceHeight = nullptr;
  QLabel* lblDeviceSize = nullptr;
  QLabel* lblDeviceScale = nullptr;
  QPushButton* cmdSavePicture = nullptr;
  // What Ctrl+Shift+M goes back to, and the custom screen's portrait sides.
  DeviceView lastDevice_ = deviceview::preset(DeviceView::Kind::Phone);
  int customWidth_ = 390;
  int customHeight_ = 844;

  QPointer<frmdropfiles> welcome_;
  // Recovered edits waiting for the one shown now to be saved or discarded.
  std::vector<unsavededits::Kept> recovering_;
  QPointer<Form3> insertCode_;
  QPointer<frmPRO> proOptions_;
  QPointer<frmQuickHelp> quickHelp_;
  QPointer<frmHistory> history_;
  QPointer<frmFind> find_;
  QPointer<frmPublish> publish_;
  QPointer<frmCheck> check_;
  QPointer<frmSnippets> snippets_;
  QPointer<frmAbout> about_;
  QPointer<frmShortcuts> shortcuts_;

  // Whether the window active before this one was another window of the
  // program (not a message box): only a return from one reloads the preview.
  // A flag, not a pointer: the window that closed is often deleted already.
  bool returningFromOurWindow_ = false;
  bool indexJustChanged_ = false;
};
