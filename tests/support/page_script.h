#pragma once

#include <QEventLoop>
#include <QTimer>
#include <QVariant>
#include <functional>
#include <memory>

class WebBrowser;

// Asking the engine something and waiting for its answer, for tests and
// benchmarks alike.
namespace pagescript {

// Starts an asynchronous read (start gets the callback to answer through) and
// waits for the answer, or returns T() after timeoutMs. An answer given at once
// ends the wait at once; one that comes after the time-out is dropped.
template <typename T>
T answer(const std::function<void(std::function<void(const T&)>)>& start, int timeoutMs = 20000) {
  struct Wait {
    T value{};
    bool done = false;
    QEventLoop loop;
  };
  auto wait = std::make_shared<Wait>();
  start([weak = std::weak_ptr<Wait>(wait)](const T& v) {
    if (const auto w = weak.lock(); w && !w->done) {
      w->value = v;
      w->done = true;
      w->loop.quit();
    }
  });
  if (!wait->done) {
    QTimer::singleShot(timeoutMs, &wait->loop, &QEventLoop::quit);
    wait->loop.exec();
  }
  return wait->value;
}

// Runs script in the program's own world (out of the page's scripts' reach)
// and returns its value; an invalid QVariant after timeoutMs.
QVariant run(WebBrowser* browser, const QString& script, int timeoutMs = 20000);

}  // namespace pagescript
