#pragma once

#include <QObject>
#include <functional>

class QMimeData;
class QWidget;

// Makes widgets a drop target with handling of our own: every drag over them
// is accepted as a copy and each drop goes to `onDrop`; the widgets' own drop
// handling never runs. (Qt hands a drop over a disabled widget to its
// parent.) Lives as long as the first widget it serves.
class OleDropTarget final : public QObject {
  Q_OBJECT
 public:
  using DropHandler = std::function<void(const QMimeData* Data)>;

  OleDropTarget(QWidget* target, DropHandler onDrop);

  // Serves one more widget (a part of the target, such as its text field).
  void alsoServe(QWidget* part);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  DropHandler onDrop_;
};
