#include "support/browser_driver.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include "editor/web_browser.h"
#include "support/page_script.h"

namespace driver {

bool waitLoaded(WebBrowser* browser, int timeoutMs) {
  QSignalSpy spy(browser, &WebBrowser::DownloadComplete);
  return spy.wait(timeoutMs);
}

bool load(WebBrowser* browser, const QString& path, int timeoutMs) {
  QSignalSpy spy(browser, &WebBrowser::DownloadComplete);
  browser->Navigate2(path);
  return spy.wait(timeoutMs);
}

QVariant js(WebBrowser* browser, const QString& script) { return pagescript::run(browser, script); }

QString markup(WebBrowser* browser) {
  return js(browser, QStringLiteral("document.documentElement.outerHTML")).toString();
}

QString designMode(WebBrowser* browser) {
  return js(browser, QStringLiteral("document.designMode")).toString();
}

bool waitFor(const std::function<bool()>& cond, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!cond()) {
    if (clock.elapsed() > timeoutMs) return false;
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

bool typeInto(WebBrowser* browser, const QString& selector, const QString& text) {
  browser->window()->show();
  browser->window()->activateWindow();
  browser->view()->setFocus();
  // Keys reach the page only once the engine's input widget and the
  // document both hold the focus.
  if (!waitFor([&] {
        QWidget* input = browser->view()->focusProxy();
        return input && input->hasFocus() &&
               js(browser, QStringLiteral("document.hasFocus()")).toBool();
      }))
    return false;
  // The first match that shows some text; else the first element holding
  // text of its own; else the body.
  js(browser, QStringLiteral(R"(
(function () {
  var hasText = function (el) { return el.textContent.trim() !== ''; };
  var ownText = function (el) {
    return Array.prototype.some.call(el.childNodes, function (n) {
      return n.nodeType === 3 && n.data.trim() !== '';
    });
  };
  var target = Array.prototype.find.call(document.querySelectorAll('%1'), hasText) ||
      Array.prototype.find.call(document.body.querySelectorAll('*'), ownText) || document.body;
  var range = document.createRange();
  range.selectNodeContents(target);
  range.collapse(false);
  var selection = window.getSelection();
  selection.removeAllRanges();
  selection.addRange(range);
})())")
                  .arg(selector));
  QWidget* input = browser->view()->focusProxy();
  if (!input) return false;
  bool latin1 = true;
  for (const QChar c : text) latin1 = latin1 && c.unicode() < 0x80;
  if (latin1) {
    QTest::keyClicks(input, text);
  } else {
    // QTest cannot type beyond Latin-1; the editor's own command can.
    js(browser, QStringLiteral("document.execCommand('insertText', false, %1)")
                    .arg(QStringLiteral("'%1'").arg(text)));
  }
  return waitFor([&] { return markup(browser).contains(text); });
}

}  // namespace driver
