#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class DropHandle;
class QEvent;
class QLabel;
class QListWidget;
class QObject;
class QWidget;

// File drops onto the welcome window. Our handling is put in front of the
// window's own (an event filter in the place of a window procedure): it takes
// file drops and passes every other event on untouched.
namespace modOle {

inline const QString kNoValidFiles = QStringLiteral("Ooops! No valid HTML files were added.");
inline const QString kDone = QStringLiteral("Done! Click ok to continue.");

// The window the routines below act on: the welcome window, registered by it
// when it loads. Read afresh at every call; gone when the window is.
void setDropWindow(QWidget* window);
QWidget* dropWindow();

// The handling that follows ours: the window hooked last, whose own event
// handling gets every event we do not take. Written by HookDropWindow only.
QObject* PrevWndProc();

void HookDropWindow();
void UnhookDropWindow();

// Where the archives among a drop's files go, once the drop itself is over
// (the welcome window unpacks them). Empty: archives are not taken apart.
using ArchiveHandler = std::function<void(const QStringList& archives)>;
void setArchiveHandler(ArchiveHandler handler);

// Our handling of one event of the hooked window. File drags are accepted as
// copies; a file drop is read into the window's `lstFiles` with the hook
// removed meanwhile. Returns true for the events taken, false for every other
// event, which then reaches the window as if we were not there.
bool DropWindowProc(QObject* hWnd, QEvent* uMsg);

// Reads every path of one drop, appends those containing ".htm" (exactly so,
// letter case counts) to lstFiles in drop order, sets Label1 from the list's
// total count and releases the drop. A failure part way ends the drop
// quietly: entries already appended stay, the status text is left alone, and
// the drop is still released.
// With `archives`, archive files are collected there instead, and the status
// text is left for whoever unpacks them when there are any.
void ProcessHDrop(DropHandle& hDrop, QListWidget* lstFiles, QLabel* Label1,
                  QStringList* archives = nullptr);

}  // namespace modOle
