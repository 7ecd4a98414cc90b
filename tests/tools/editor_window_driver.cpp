#include "tools/editor_window_driver.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include "editor/web_browser.h"
#include "support/browser_driver.h"
#include "tools/editor_menu.h"

namespace editordriver {

bool withWindow(EditorMenu* menu, const char* name, const std::function<void()>& open,
                const std::function<void(QDialog*)>& act) {
  QSignalSpy done(menu, &EditorMenu::editDone);
  QTimer watch;
  watch.setInterval(20);
  bool seen = false;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* w = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!w || w->objectName() != QLatin1String(name) || seen) return;
    seen = true;
    watch.stop();
    act(w);
    // A check that failed inside act left the window up: close it, or the test waits forever.
    if (w->isVisible()) w->reject();
  });
  watch.start();
  open();
  return done.count() > 0 || done.wait(30000);
}

QMenu* rightClick(WebBrowser* browser, EditorMenu* menu, const QString& selector) {
  const QVariantList rect =
      driver::js(browser, QStringLiteral("(function(){var r=document.querySelector(%1)"
                                         ".getBoundingClientRect();return [r.x+r.width/2,"
                                         "r.y+r.height/2];})()")
                              .arg(QStringLiteral("'%1'").arg(selector)))
          .toList();
  if (rect.size() != 2) return nullptr;
  QSignalSpy shown(menu, &EditorMenu::menuShown);
  QWebEngineView* view = browser->view();
  const QPoint at(qRound(rect[0].toDouble()), qRound(rect[1].toDouble()));
  QTest::mouseClick(view->focusProxy(), Qt::RightButton, {}, at);
  if (!shown.wait(15000)) return nullptr;
  return shown.first().first().value<QMenu*>();
}

QStringList entries(QMenu* menu) {
  QStringList names;
  for (QAction* a : menu->actions())
    if (!a->isSeparator()) names << (a->menu() ? a->menu()->objectName() : a->objectName());
  return names;
}

void select(WebBrowser* browser, const QString& selector, bool collapsed) {
  driver::js(browser,
             QStringLiteral("(function(){var r=document.createRange();"
                            "r.selectNodeContents(document.querySelector('%1'));"
                            "if(%2)r.collapse(false);var s=getSelection();"
                            "s.removeAllRanges();s.addRange(r);return 1;})()")
                 .arg(selector, collapsed ? QStringLiteral("true") : QStringLiteral("false")));
}

}  // namespace editordriver
