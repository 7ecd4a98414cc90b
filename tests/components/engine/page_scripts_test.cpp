// The program's own scripts in a page: there for the program in every
// document, out of reach of the page's own scripts.
#include "engine/page_scripts.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineScript>
#include <QWebEngineSettings>

#include "engine/page_scheme.h"
#include "engine/web_page.h"
#include "support/page_script.h"
#include "support/test_files.h"
#include "support/test_main.h"

namespace {

QVariant answer(QWebEnginePage* page, const QString& function) {
  return pagescript::answer<QVariant>(
      [&](auto reply) { pagescripts::call(page, function, {}, reply); });
}

bool load(QWebEnginePage* page, const QString& path) {
  QSignalSpy done(page, &QWebEnginePage::loadFinished);
  page->load(pagescheme::urlOf(path));
  return done.wait(20000) && done.first().first().toBool();
}

}  // namespace

class PageScriptsTest final : public QObject {
  Q_OBJECT
 private slots:
  void init() { dir_ = std::make_unique<QTemporaryDir>(); }

  // A page's script that looks for the program's functions, or plants its
  // own under their name, finds nothing and changes nothing.
  void outOfThePagesReach() {
    const QString path = dir_->filePath(QStringLiteral("page.html"));
    testfiles::write(path,
                     "<html><body><p id=seen></p><script>"
                     "document.getElementById('seen').textContent = typeof window.__qv;"
                     "window.__qv = { markup: function () { return 'planted'; } };"
                     "</script></body></html>");
    WebPage page;
    QVERIFY(load(&page, path));
    const QString markup = answer(&page, QStringLiteral("markup")).toString();
    QVERIFY2(markup.contains(u"<p id=\"seen\">undefined</p>"), qPrintable(markup));
  }

  // A document made before its renderer heard of the scripts (as can
  // happen under load) still answers: the scripts go in when first asked,
  // once, and keep what they hold.
  void documentWithoutScriptsStillAnswers() {
    const QString path = dir_->filePath(QStringLiteral("plain.html"));
    testfiles::write(path, "<html><body><p>plain</p></body></html>");
    QWebEnginePage page(WebPage::sharedProfile());
    page.settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    QVERIFY(load(&page, path));
    QVERIFY(answer(&page, QStringLiteral("markup")).toString().contains(u"<p>plain</p>"));
    answer(&page, QStringLiteral("enterDesignMode"));
    page.runJavaScript(QStringLiteral("document.body.append('typed')"),
                       QWebEngineScript::ApplicationWorld);
    QCOMPARE(answer(&page, QStringLiteral("changed")), QVariant(true));
    QCOMPARE(answer(&page, QStringLiteral("designMode")), QVariant(QStringLiteral("on")));
  }

  // A page that goes while calls wait answers them with nothing, and is
  // not asked again as it goes (that called into a half-destroyed page).
  void pageGoneWhileAsked() {
    const QString path = dir_->filePath(QStringLiteral("plain.html"));
    testfiles::write(path, "<html><body><p>plain</p></body></html>");
    auto* page = new QWebEnginePage(WebPage::sharedProfile());
    QVERIFY(load(page, path));
    int answered = 0;
    for (int i = 0; i < 20; ++i)
      pagescripts::call(page, QStringLiteral("markup"), {}, [&](const QVariant& v) {
        QVERIFY(!v.isValid());
        ++answered;
      });
    delete page;
    QTRY_COMPARE(answered, 20);
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
};

QV_TEST_MAIN(PageScriptsTest)
#include "page_scripts_test.moc"
