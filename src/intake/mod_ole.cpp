#include "intake/mod_ole.h"

#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <limits>
#include <stdexcept>
#include <vector>

#include "intake/archive_unpack.h"
#include "intake/drop_handle.h"

namespace modOle {
namespace {

class DropWindowFilter final : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    return DropWindowProc(watched, event);
  }
};

DropWindowFilter& filter() {
  static DropWindowFilter instance;
  return instance;
}

QPointer<QWidget> theDropWindow;
QPointer<QObject> thePrevWndProc;
ArchiveHandler theArchiveHandler;

// A drop from the shell is always a copy: accepting a move would let a file
// manager delete the user's originals once we have read their names.
bool acceptAsCopy(QDropEvent* event) {
  if (!event->mimeData() || !event->mimeData()->hasUrls()) return false;
  if (!(event->possibleActions() & Qt::CopyAction)) return false;
  event->setDropAction(Qt::CopyAction);
  event->accept();
  return true;
}

}  // namespace

void setDropWindow(QWidget* window) { theDropWindow = window; }

QWidget* dropWindow() { return theDropWindow; }

QObject* PrevWndProc() { return thePrevWndProc; }

void setArchiveHandler(ArchiveHandler handler) { theArchiveHandler = std::move(handler); }

void HookDropWindow() {
  QWidget* window = dropWindow();
  if (!window) return;
  window->installEventFilter(&filter());
  thePrevWndProc = window;
}

void UnhookDropWindow() {
  if (QWidget* window = dropWindow()) window->removeEventFilter(&filter());
}

bool DropWindowProc(QObject* hWnd, QEvent* uMsg) {
  switch (uMsg->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
      return acceptAsCopy(static_cast<QDropEvent*>(uMsg));
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(uMsg);
      if (!acceptAsCopy(drop)) return false;
      MimeDropHandle hDrop(drop->mimeData());
      UnhookDropWindow();
      QStringList archives;
      ProcessHDrop(hDrop, hWnd->findChild<QListWidget*>(QStringLiteral("lstFiles")),
                   hWnd->findChild<QLabel*>(QStringLiteral("Label1")),
                   theArchiveHandler ? &archives : nullptr);
      HookDropWindow();
      // Unpacking asks questions: not while the file manager waits for the drop to end.
      if (!archives.isEmpty())
        QTimer::singleShot(0, hWnd, [archives] {
          if (theArchiveHandler) theArchiveHandler(archives);
        });
      return true;
    }
    default:
      return false;
  }
}

void ProcessHDrop(DropHandle& hDrop, QListWidget* lstFiles, QLabel* Label1, QStringList* archives) {
  try {
    if (!lstFiles || !Label1) throw std::invalid_argument("no list or status line");
    const quint32 n = hDrop.DragQueryFileW(DropHandle::kCountQuery, nullptr, 0);
    for (quint32 i = 0; i < n; ++i) {
      const quint32 length = hDrop.DragQueryFileW(i, nullptr, 0);
      if (length == 0) continue;
      // The buffer's size must itself be expressible to the copy call.
      if (length == std::numeric_limits<quint32>::max()) throw std::length_error("path too long");
      // Sized from the length query, so a path of any length is read whole.
      std::vector<char16_t> buffer(std::size_t(length) + 1, u'\0');
      if (hDrop.DragQueryFileW(i, buffer.data(), quint32(buffer.size())) == 0) continue;
      // Taken as it stands: fromUtf16 would drop a leading U+FEFF and byte-swap
      // a name that starts with U+FFFE.
      const QString path = QStringView(buffer.data(), lstrlenW(buffer.data())).toString();
      if (archives && unpack::isArchiveFile(path))
        archives->append(path);
      else if (path.contains(QStringLiteral(".htm"), Qt::CaseSensitive))
        lstFiles->addItem(path);
    }
    if (!archives || archives->isEmpty())
      Label1->setText(lstFiles->count() == 0 ? kNoValidFiles : kDone);
  } catch (...) {
    // A failed drop ends quietly; what was read stays in the list.
  }
  hDrop.DragFinish();
}

}  // namespace modOle
