#include "intake/drop_platform.h"

#include <QWidget>

#ifdef Q_OS_WIN
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>
#endif

namespace dropplatform {

void DragAcceptFiles(QWidget* window, bool accept) {
  if (!window) return;
  // Qt delivers drops only to widgets that accept them.
  window->setAcceptDrops(accept);
#ifdef Q_OS_WIN
  // Turning drops off never creates a native window just for that.
  const WId id = accept ? window->winId() : window->internalWinId();
  if (id) ::DragAcceptFiles(reinterpret_cast<HWND>(id), accept ? TRUE : FALSE);
#endif
}

void ChangeWindowMessageFilter(quint32 message, quint32 flag) {
#ifdef Q_OS_WIN
  ::ChangeWindowMessageFilter(UINT(message), DWORD(flag));
#else
  Q_UNUSED(message);
  Q_UNUSED(flag);
#endif
}

}  // namespace dropplatform
