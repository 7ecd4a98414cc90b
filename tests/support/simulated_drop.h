#pragma once

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <QWindow>

// Drags data over a point of a shown widget and drops it there, through the
// widget's window as the platform would: Qt itself picks the widget under the
// point that takes drops. Returns the action the drop ended with
// (IgnoreAction when nothing took the drag or the drop).
inline Qt::DropAction simulateDrop(QWidget* over, const QMimeData* data,
                                   Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction,
                                   QPoint at = QPoint(-1, -1)) {
  QWidget* window = over->window();
  const QPoint local = at == QPoint(-1, -1) ? over->rect().center() : at;
  const QPoint pos = over->mapTo(window, local);
  QWindow* handle = window->windowHandle();
  QDragEnterEvent enter(pos, offered, data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(handle, &enter);
  if (!enter.isAccepted()) {
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(handle, &leave);
    return Qt::IgnoreAction;
  }
  QDropEvent drop(pos, offered, data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(handle, &drop);
  return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

// Data as a file manager offers it: one URL per path (web addresses as they are).
inline QMimeData* fileDragData(const QStringList& pathsOrUrls) {
  auto* data = new QMimeData;
  QList<QUrl> urls;
  for (const QString& p : pathsOrUrls)
    urls.append(p.contains(QStringLiteral("://")) ? QUrl(p) : QUrl::fromLocalFile(p));
  data->setUrls(urls);
  return data;
}
