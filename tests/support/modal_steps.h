#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <memory>

// A modal window runs its own event loop inside the call that opened it, so a
// test cannot wait for it and then act: it says beforehand what to do once
// the window is there. Checked every 10 ms from the event loop; given up after
// the timeout.
inline void whenTrue(std::function<bool()> condition, std::function<void()> action,
                     int timeoutMs = 30000) {
  auto* timer = new QTimer(qApp);
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(timer, &QTimer::timeout, timer, [=] {
    const bool ready = condition();
    if (!ready && clock->elapsed() < timeoutMs) return;
    timer->stop();
    timer->deleteLater();
    if (ready) action();
  });
  timer->start(10);
}

// The modal window named `name` that is showing, if any.
template <typename W = QWidget>
W* shownModal(const char* name) {
  QWidget* modal = QApplication::activeModalWidget();
  return modal && modal->objectName() == QLatin1String(name) && modal->isVisible()
             ? qobject_cast<W*>(modal)
             : nullptr;
}

// Runs action on the modal window named `name` once it shows.
template <typename W = QWidget, typename Action>
void whenModal(const char* name, Action action, int timeoutMs = 30000) {
  whenTrue([name] { return shownModal<W>(name) != nullptr; },
           [name, action] { action(shownModal<W>(name)); }, timeoutMs);
}
