#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

class EditorMenu;
class QMenu;
class WebBrowser;

// Drives the editor's menu and windows in tests, waiting on signals.
namespace editordriver {

// Calls open, then act on the modal window named name as soon as it is up,
// and waits until the menu reports the edit done. False on time-out.
bool withWindow(EditorMenu* menu, const char* name, const std::function<void()>& open,
                const std::function<void(QDialog*)>& act);

// Right-clicks the centre of the first element matching selector and
// returns the menu that comes up (null on time-out).
QMenu* rightClick(WebBrowser* browser, EditorMenu* menu, const QString& selector);
// The object names of a menu's entries, separators left out.
QStringList entries(QMenu* menu);

// Selects the text of the first element matching selector, or with
// collapsed the caret at its end.
void select(WebBrowser* browser, const QString& selector, bool collapsed = false);

}  // namespace editordriver
