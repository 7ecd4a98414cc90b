#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <functional>

class QObject;

// One thing the user can do, as the menu, the keys, the Keyboard Shortcuts
// window, the header links and the buttons' tooltips all show it. A new
// feature joins by adding one entry to the main window's list.
struct Action final {
  // How its keys reach it.
  enum class Keys {
    Window,     // a shortcut of the main window, wherever the focus is in it
    First,      // seen before the page or the code gets the key, when takesKey says so
    Elsewhere,  // handled by the control that owns them (the page being edited); listed only
  };

  QString name = {};   // the menu entry's objectName: "actFind"
  QString group = {};  // the menu it is listed under: "Edit"
  QString text = {};   // as the menu shows it: "Find and Replace…"
  QString tip = {};    // what it does, in one short sentence
  QList<QKeySequence> keys = {};
  Keys route = Keys::Window;
  // Listed in the menu; entries that only name keys of the page are not.
  bool inMenu = true;
  // Why it cannot run now, said to the user; empty when it can. Asked of the
  // editing state, never of a caption.
  std::function<QString()> whyNot = {};
  std::function<void()> run = {};
  // The text as things stand, when it changes ("Edit Page" / "Save / Discard Changes").
  std::function<QString()> textNow = {};
  // For a choice among several (the views): whether it is the one in place.
  std::function<bool()> checked = {};
  // For Keys::First: whether a press aimed at target is taken now, and what it does.
  std::function<bool(QObject* target)> takesKey = {};
  std::function<void()> onKey = {};
};

namespace actions {

// The keys as menus write them: "Ctrl+H, Ctrl+F"; empty without keys.
QString keyText(const Action& action);
// The menu entry's text: the caption, then its keys after a tab (a menu
// shows them in its key column without binding them a second time).
QString menuText(const Action& action);
// The tooltip of the entry, link or button: what it does, its keys, and why
// it cannot run now.
QString toolTip(const Action& action);
// The groups in the order their first entry comes.
QStringList groups(const QList<Action>& list);
const Action* find(const QList<Action>& list, const QString& name);
// The entry whose keys include the press, if any; First entries only when
// they take it now.
const Action* forKey(const QList<Action>& list, const QKeySequence& press, QObject* target);
// Two entries of the window that claim the same keys: a list with any is a
// mistake. Keys of the page or the code may mean another thing there.
QStringList clashes(const QList<Action>& list);

}  // namespace actions
