#include "editor/page_ops.h"

#include <QPointer>
#include <QWebEngineView>

#include "editor/web_browser.h"
#include "engine/page_scripts.h"

namespace pageops {

void run(WebBrowser* browser, const QString& operation, const QJsonArray& args, QObject* context,
         std::function<void(const QVariant&)> done) {
  QPointer<QObject> guard(context);
  pagescripts::call(browser->view()->page(), QStringLiteral("op"), {operation, args},
                    [guard, done = std::move(done)](const QVariant& result) {
                      if (guard && done) done(result);
                    });
}

}  // namespace pageops
