#include "support/page_script.h"

#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include "editor/web_browser.h"

namespace pagescript {

QVariant run(WebBrowser* browser, const QString& script, int timeoutMs) {
  return answer<QVariant>(
      [&](const std::function<void(const QVariant&)>& reply) {
        browser->view()->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, reply);
      },
      timeoutMs);
}

}  // namespace pagescript
