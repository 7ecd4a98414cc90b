// The main window's list of actions, and what is made from it: the menu
// (cmdMenu, F10), the window's keys, the header links and the tooltips of
// the buttons that run an action.
#include <Qsci/qsciscintilla.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

#include "app/edit_captions.h"
#include "app/main_window.h"
#include "app/shortcuts_window.h"
#include "editor/code_view.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "help/about_window.h"
#include "tools/editor_menu.h"
#include "widgets/link_label.h"
#include "widgets/named.h"
#include "widgets/twips.h"

namespace {

using Keys = Action::Keys;
using View = EditingState::View;

QKeySequence key(QKeyCombination k) { return QKeySequence(k); }

const QString kNoPage = QStringLiteral("Add a page first.");
const QString kNoPages = QStringLiteral("Add your pages first.");
const QString kEditing = QStringLiteral("Save or discard your changes to the page first.");

}  // namespace

QList<Action> Form2::makeActions() {
  const EditingState* s = WebBrowser1->state();
  const auto noPage = [this] { return currentPage().isEmpty() ? kNoPage : QString(); };
  const auto noPages = [this] { return Combo1->count() == 0 ? kNoPages : QString(); };
  const auto notWhileEditing = [s] { return s->editing() ? kEditing : QString(); };
  const auto pageNotEditing = [s, noPage] { return s->editing() ? kEditing : noPage(); };
  const auto view = [this, s, noPage](View v) {
    return Action{.name = QString(),
                  .group = QStringLiteral("View"),
                  .whyNot = [s, noPage, v] { return v == View::Page ? QString() : noPage(); },
                  .run = [this, v] { requestView(v); },
                  .checked = [s, v] { return s->view() == v; }};
  };
  const auto inPage = [](const char* text, QList<QKeySequence> keys) {
    return Action{.name = QString(),
                  .group = QStringLiteral("In the page, while editing"),
                  .text = QString::fromUtf8(text),
                  .keys = std::move(keys),
                  .route = Keys::Elsewhere,
                  .inMenu = false};
  };
  const auto inCode = [](const char* text, QList<QKeySequence> keys) {
    return Action{.name = QString(),
                  .group = QStringLiteral("In the code"),
                  .text = QString::fromUtf8(text),
                  .keys = std::move(keys),
                  .route = Keys::Elsewhere,
                  .inMenu = false};
  };

  QList<Action> list;
  // Pages
  list << Action{.name = QStringLiteral("actAddPages"),
                 .group = QStringLiteral("Pages"),
                 .text = QStringLiteral("Add Pages\u2026"),
                 .tip = QStringLiteral("Bring your pages in through the welcome window"),
                 .whyNot = notWhileEditing,
                 .run = [this] { Command5_Click(); }}
       << Action{.name = QStringLiteral("actCheck"),
                 .group = QStringLiteral("Pages"),
                 .text = QStringLiteral("Check Pages\u2026"),
                 .tip = QStringLiteral("Check the pages before they go online: missing files, "
                                       "letter case, placeholders, payment links"),
                 .keys = {key(Qt::CTRL | Qt::SHIFT | Qt::Key_C)},
                 .whyNot = noPages,
                 .run = [this] { lblCheck_Click(); }}
       << Action{.name = QStringLiteral("actPublish"),
                 .group = QStringLiteral("Pages"),
                 .text = QStringLiteral("Publish\u2026"),
                 .tip = QStringLiteral("Upload the pages to your web host"),
                 .keys = {key(Qt::CTRL | Qt::SHIFT | Qt::Key_U)},
                 .route = Keys::First,
                 .whyNot = notWhileEditing,
                 .run = [this] { lblPublish_Click(); },
                 .takesKey = [s](QObject*) { return !s->editing(); }};
  // Edit
  list << Action{.name = QStringLiteral("actEdit"),
                 .group = QStringLiteral("Edit"),
                 .text = kEditPage,
                 .tip = QStringLiteral("Edit the page's text in place; press again to save or "
                                       "discard your changes"),
                 .whyNot =
                     [s, noPage] {
                       return s->busy() ? QStringLiteral(
                                              "The page is being "
                                              "saved.")
                                        : noPage();
                     },
                 .run = [this] { Command2_Click(); },
                 .textNow = [s] { return s->editing() ? kSaveDiscard : kEditPage; }}
       << Action{.name = QStringLiteral("actSave"),
                 .group = QStringLiteral("Edit"),
                 .text = QStringLiteral("Save"),
                 .tip = QStringLiteral("Save the code, or the page being edited; editing goes on"),
                 .keys = {key(Qt::CTRL | Qt::Key_S)},
                 .route = Keys::First,
                 .whyNot =
                     [s] {
                       return s->editing() || s->codeShown()
                                  ? QString()
                                  : QStringLiteral(
                                        "Press Edit Page or show the code "
                                        "first.");
                     },
                 .run = [this] { saveShortcut(); },
                 .takesKey = [s](QObject*) { return s->editing() || s->codeShown(); }}
       << Action{.name = QStringLiteral("actFind"),
                 .group = QStringLiteral("Edit"),
                 .text = QStringLiteral("Find and Replace\u2026"),
                 .tip = QStringLiteral("Find and replace text in every page of the list"),
                 .keys = {key(Qt::CTRL | Qt::Key_H), key(Qt::CTRL | Qt::Key_F)},
                 .whyNot = noPages,
                 .run = [this] { ShowFind(); }}
       << Action{.name = QStringLiteral("actLinks"),
                 .group = QStringLiteral("Edit"),
                 .text = QStringLiteral("Links on This Page\u2026"),
                 .tip = QStringLiteral("List every address the page's links go to and change "
                                       "them all at once"),
                 .keys = {key(Qt::CTRL | Qt::SHIFT | Qt::Key_K)},
                 .route = Keys::Elsewhere,
                 .whyNot =
                     [s] {
                       return s->holdsEdit() ? QString()
                                             : QStringLiteral(
                                                   "Press Edit Page first: "
                                                   "links are changed in the "
                                                   "page being edited.");
                     },
                 .run = [this] { editorMenu_->showLinksWindow(); }}
       << Action{.name = QStringLiteral("actUndoChange"),
                 .group = QStringLiteral("Edit"),
                 .text = QStringLiteral("Undo the Last Change\u2026"),
                 .tip = QStringLiteral("Put the page back as it was before its last change"),
                 .keys = {key(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
                 .route = Keys::First,
                 .whyNot = pageNotEditing,
                 .run = [this] { undoLastChange(); },
                 .takesKey =
                     [this, s](QObject* target) {
                       // In the code, the key is the code's own redo.
                       return !s->editing() &&
                              !(target && target->isWidgetType() &&
                                CodeView1->isAncestorOf(static_cast<QWidget*>(target)));
                     }};
  // View
  Action page = view(View::Page), code = view(View::Code), split = view(View::Split);
  page.name = QStringLiteral("actViewPage");
  page.text = QStringLiteral("Page");
  page.tip = QStringLiteral("The page as its visitors see it");
  code.name = QStringLiteral("actViewCode");
  code.text = QStringLiteral("Code");
  code.tip = QStringLiteral("The page's code, byte for byte; the key goes back and forth");
  code.keys = {key(Qt::CTRL | Qt::Key_U)};
  code.route = Keys::First;
  code.takesKey = [s](QObject*) { return !s->editing() || s->codeShown(); };
  code.onKey = [this, s] { requestView(s->codeShown() ? View::Page : View::Code); };
  split.name = QStringLiteral("actViewSplit");
  split.text = QStringLiteral("Split");
  split.tip = QStringLiteral("The page and its code side by side");
  list << page << code << split
       << Action{.name = QStringLiteral("actDevice"),
                 .group = QStringLiteral("View"),
                 .text = QStringLiteral("Desktop or Device"),
                 .tip = QStringLiteral("Go back and forth between the desktop and the last "
                                       "phone or tablet view"),
                 .keys = {key(Qt::CTRL | Qt::SHIFT | Qt::Key_M)},
                 .run = [this] { toggleDevice(); },
                 .checked = [s] { return !s->device().desktop(); }};
  // Code
  list << Action{.name = QStringLiteral("actInsertCode"),
                 .group = QStringLiteral("Code"),
                 .text = QStringLiteral("Insert Code\u2026"),
                 .tip = QStringLiteral("Replace a tag such as [BUYBUTTON] in the page with HTML "
                                       "code"),
                 .whyNot = pageNotEditing,
                 .run = [this] { Command1_Click(); }}
       << Action{.name = QStringLiteral("actPro"),
                 .group = QStringLiteral("Code"),
                 .text = QStringLiteral("Pro Options\u2026"),
                 .tip = QStringLiteral("The page title, code in the head and the Back button"),
                 .whyNot = noPage,
                 .run = [this] { cmdPro_Click(); }}
       << Action{.name = QStringLiteral("actMyCode"),
                 .group = QStringLiteral("Code"),
                 .text = QStringLiteral("My Code\u2026"),
                 .tip = QStringLiteral("Your own pieces of code, kept once and used on every page"),
                 .keys = {key(Qt::CTRL | Qt::SHIFT | Qt::Key_Y)},
                 .run = [this] { lblMyCode_Click(); }};
  // History
  list << Action{.name = QStringLiteral("actHistory"),
                 .group = QStringLiteral("History"),
                 .text = QStringLiteral("History\u2026"),
                 .tip = QStringLiteral("The kept versions of the current page; restore one"),
                 .keys = {key(Qt::CTRL | Qt::SHIFT | Qt::Key_H)},
                 .whyNot = noPage,
                 .run = [this] { lblHistory_Click(); }};
  // Help
  list << Action{.name = QStringLiteral("actQuickHelp"),
                 .group = QStringLiteral("Help"),
                 .text = QStringLiteral("Quick Help"),
                 .tip = QStringLiteral("The basics, and the switch for the other way of saving"),
                 .run = [this] { lblHelp_Click(); }}
       << Action{.name = QStringLiteral("actShortcuts"),
                 .group = QStringLiteral("Help"),
                 .text = QStringLiteral("Keyboard Shortcuts"),
                 .tip = QStringLiteral("Every key of the program"),
                 .run = [this] { showShortcuts(); }}
       << Action{.name = QStringLiteral("actAbout"),
                 .group = QStringLiteral("Help"),
                 .text = QStringLiteral("About Quorvane"),
                 .tip = QStringLiteral("Version, licence, components and where your history is "
                                       "kept"),
                 .run = [this] { showAbout(); }}
       << Action{.name = QStringLiteral("actMenu"),
                 .group = QStringLiteral("Help"),
                 .text = QStringLiteral("This Menu"),
                 .tip = QStringLiteral("Every action of the program"),
                 .keys = {key(Qt::Key_F10)},
                 .inMenu = false,
                 .run = [this] { cmdMenu->showMenu(); }};
  // Keys that belong to the page being edited and to the code, listed for the
  // Keyboard Shortcuts window.
  list << inPage("Paste", {key(Qt::CTRL | Qt::Key_V)})
       << inPage("Paste as plain text", {key(Qt::CTRL | Qt::SHIFT | Qt::Key_V)})
       << inPage("Undo, redo", {key(Qt::CTRL | Qt::Key_Z), key(Qt::CTRL | Qt::Key_Y)})
       << inPage("Bold, italics, underline",
                 {key(Qt::CTRL | Qt::Key_B), key(Qt::CTRL | Qt::Key_I), key(Qt::CTRL | Qt::Key_U)})
       << inPage("Link at the caret", {key(Qt::CTRL | Qt::Key_K)})
       << inPage("Show the page in your web browser (save first)", {key(Qt::CTRL | Qt::Key_N)})
       << inCode("Find, go to line", {key(Qt::CTRL | Qt::Key_F), key(Qt::CTRL | Qt::Key_G)})
       << inCode("Next, previous match", {key(Qt::Key_F3), key(Qt::SHIFT | Qt::Key_F3)});
  return list;
}

void Form2::setUpActions() {
  actions_ = makeActions();

  cmdMenu = named(new QPushButton(QStringLiteral("\u2630 Menu"), Picture2), "cmdMenu");
  twips::place(cmdMenu, 2900, 180, 1300, 420);
  auto* menu = named(new QMenu(cmdMenu), "mnuMain");
  menu->setToolTipsVisible(true);
  for (const QString& group : actions::groups(actions_)) {
    QMenu* into = menu;
    int inGroup = 0;
    for (const Action& a : actions_) inGroup += a.group == group && a.inMenu;
    if (inGroup == 0) continue;
    // A group of one is an entry of the menu itself.
    if (inGroup > 1) {
      into = menu->addMenu(group);
      into->setObjectName(QStringLiteral("mnu") + QString(group).remove(QLatin1Char(' ')));
      into->setToolTipsVisible(true);
    }
    for (const Action& a : actions_) {
      if (a.group != group || !a.inMenu) continue;
      QAction* entry = into->addAction(a.text);
      entry->setObjectName(a.name);
      entry->setCheckable(bool(a.checked));
      const QString name = a.name;
      connect(entry, &QAction::triggered, this, [this, name] { runAction(name); });
    }
  }
  cmdMenu->setMenu(menu);
  connect(menu, &QMenu::aboutToShow, this, &Form2::showActions);

  for (const Action& a : actions_) {
    if (a.route != Action::Keys::Window) continue;
    for (const QKeySequence& k : a.keys) {
      auto* shortcut = new QShortcut(k, this);
      shortcut->setContext(Qt::WindowShortcut);
      const QString name = a.name;
      connect(shortcut, &QShortcut::activated, this, [this, name] {
        if (const Action* act = actions::find(actions_, name); act && act->run) act->run();
      });
    }
  }

  // Buttons and links that run an action say what it does, its keys and why
  // it cannot run now.
  tipped_ = {{cmdMenu, QStringLiteral("actMenu")},
             {Command5, QStringLiteral("actAddPages")},
             {Command2, QStringLiteral("actEdit")},
             {Command1, QStringLiteral("actInsertCode")},
             {cmdPro, QStringLiteral("actPro")},
             {lblHelp, QStringLiteral("actQuickHelp")},
             {lblHistory, QStringLiteral("actHistory")},
             {lblPublish, QStringLiteral("actPublish")},
             {lblCheck, QStringLiteral("actCheck")},
             {lblMyCode, QStringLiteral("actMyCode")},
             {cmdViewPage, QStringLiteral("actViewPage")},
             {cmdViewCode, QStringLiteral("actViewCode")},
             {cmdViewSplit, QStringLiteral("actViewSplit")}};
  connect(WebBrowser1->state(), &EditingState::changed, this, &Form2::showActions);
  connect(Combo1, &QComboBox::currentTextChanged, this, &Form2::showActions);
  showActions();

  // Tab follows the window from the top left: the band, the page row, what
  // the preview holds, the device row.
  const QList<QWidget*> order = {
      cmdMenu,   cmdViewPage, cmdViewCode,    cmdViewSplit,    cmdPro,        Combo1,
      Command5,  Command2,    Command1,       cmdAddPages,     WebBrowser1,   CodeView1->editor(),
      cboDevice, cmdRotate,   txtDeviceWidth, txtDeviceHeight, cmdSavePicture};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void Form2::runAction(const QString& name) {
  const Action* a = actions::find(actions_, name);
  if (!a || !a->run) return;
  // The entry may be stale if the state changed while the menu was up.
  if (a->whyNot && !a->whyNot().isEmpty()) return;
  a->run();
}

bool Form2::runKey(QObject* target, const QKeyEvent* key) {
  const QKeySequence press(key->keyCombination());
  const Action* a = actions::forKey(actions_, press, target);
  if (!a || a->route != Action::Keys::First) return false;
  if (a->onKey)
    a->onKey();
  else if (a->run)
    a->run();
  return true;
}

void Form2::showActions() {
  if (auto* menu = cmdMenu ? cmdMenu->menu() : nullptr) {
    for (QAction* entry : menu->findChildren<QAction*>()) {
      const Action* a = actions::find(actions_, entry->objectName());
      if (!a) continue;
      entry->setText(actions::menuText(*a));
      entry->setToolTip(actions::toolTip(*a));
      entry->setEnabled(!a->whyNot || a->whyNot().isEmpty());
      if (a->checked) entry->setChecked(a->checked());
    }
  }
  for (const auto& [widget, name] : tipped_) {
    if (!widget) continue;
    if (const Action* a = actions::find(actions_, name)) widget->setToolTip(actions::toolTip(*a));
  }
}

void Form2::showShortcuts() {
  if (shortcuts_) {
    shortcuts_->raise();
    shortcuts_->activateWindow();
    return;
  }
  shortcuts_ = new frmShortcuts(actions_, this);
  shortcuts_->show();
}

void Form2::showAbout() {
  if (about_) return;
  about_ = new frmAbout(QString::fromLatin1(kVersion), this);
  about_->exec();
}
