#include "intake/ole_drop_target.h"

#include <QDropEvent>
#include <QWidget>

OleDropTarget::OleDropTarget(QWidget* target, DropHandler onDrop)
    : QObject(target), onDrop_(std::move(onDrop)) {
  alsoServe(target);
}

void OleDropTarget::alsoServe(QWidget* part) {
  part->setAcceptDrops(true);
  part->installEventFilter(this);
}

bool OleDropTarget::eventFilter(QObject*, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
  auto* drop = static_cast<QDropEvent*>(event);
  // Taken as a copy, so the source never deletes what was dragged.
  if (!(drop->possibleActions() & Qt::CopyAction)) {
    drop->ignore();
    return true;
  }
  drop->setDropAction(Qt::CopyAction);
  drop->accept();
  if (type == QEvent::Drop) onDrop_(drop->mimeData());
  return true;
}
