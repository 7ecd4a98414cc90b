#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

#include "editor/edit_session.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "support/browser_driver.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"

namespace {

using Kind = DeviceView::Kind;

// Narrow screens get the rule; it marks the paragraph so a test can see it.
const QByteArray kResponsive =
    "<!DOCTYPE html>\n<html><head><meta name=\"viewport\" content=\"width=device-width, "
    "initial-scale=1\">\n<style>@media (max-width: 480px) { #first { color: rgb(1, 2, 3) } "
    "}</style>\n</head><body><p id=\"first\">Hello</p>\n</body></html>\n";
const QByteArray kUntagged =
    "<html><head><title>Old</title></head><body><p id=\"first\">Hello</p></body></html>";

DeviceView rotated(DeviceView d) {
  d.rotated = true;
  return d;
}

}  // namespace

// The device view: the page is laid out at the device's width and its screen
// scaled to fit, while the document, its edits and its file stay as they are.
class WebBrowserDeviceTest final : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    browser_ = std::make_unique<WebBrowser>();
    browser_->setSilent(true);
    browser_->resize(800, 600);
    browser_->show();
  }

  void laidOutAsTheDevice_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<DeviceView>("device");
    QTest::addColumn<int>("innerWidth");
    QTest::addColumn<bool>("narrowRule");
    const DeviceView phone = deviceview::preset(Kind::Phone);
    QTest::newRow("phone") << kResponsive << phone << 390 << true;
    QTest::newRow("phone rotated") << kResponsive << rotated(phone) << 844 << false;
    QTest::newRow("small phone") << kResponsive << deviceview::preset(Kind::SmallPhone) << 360
                                 << true;
    QTest::newRow("tablet") << kResponsive << deviceview::preset(Kind::Tablet) << 820 << false;
    QTest::newRow("custom") << kResponsive << deviceview::preset(Kind::Custom, 300, 500) << 300
                            << true;
    QTest::newRow("page without viewport tag, as phones do") << kUntagged << phone << 980 << false;
  }
  void laidOutAsTheDevice() {
    QFETCH(QByteArray, page);
    QFETCH(DeviceView, device);
    QFETCH(int, innerWidth);
    QFETCH(bool, narrowRule);
    QVERIFY(driver::load(browser_.get(), write(page)));
    const int desktopWidth = this->innerWidth();
    browser_->state()->setDevice(device);
    QVERIFY2(driver::waitFor([&] { return this->innerWidth() == innerWidth; }),
             qPrintable(QString::number(this->innerWidth())));
    QCOMPARE(driver::js(browser_.get(), QStringLiteral("matchMedia('(max-width: 480px)').matches"))
                 .toBool(),
             narrowRule);
    // The screen keeps its proportions, scaled down to fit, never enlarged.
    const QSize shown = browser_->view()->size();
    QVERIFY(browser_->deviceFit().scale <= 1.0);
    QVERIFY(
        qAbs(shown.width() * device.screen().height() - shown.height() * device.screen().width()) <=
        device.screen().width() + device.screen().height());

    // Back to the desktop: the plain view, exactly.
    browser_->state()->setDevice(deviceview::desktop());
    QVERIFY(driver::waitFor([&] { return this->innerWidth() == desktopWidth; }));
    QCOMPARE(browser_->view()->geometry(), browser_->rect());
    QCOMPARE(browser_->view()->page()->zoomFactor(), 1.0);
  }

  // Chosen before the page came (as at start-up), and the page's own viewport
  // tag decides from its first load on; a later page without one gets 980.
  void deviceChosenBeforeTheLoad() {
    browser_->state()->setDevice(deviceview::preset(Kind::Phone));
    QVERIFY(driver::load(browser_.get(), write(kResponsive)));
    QVERIFY2(driver::waitFor([&] { return innerWidth() == 390; }),
             qPrintable(QString::number(innerWidth())));
    QVERIFY(driver::js(browser_.get(), QStringLiteral("navigator.userAgent"))
                .toString()
                .contains(" Mobile "));
    QVERIFY(driver::load(browser_.get(), write(kUntagged)));
    QVERIFY(driver::waitFor([&] { return innerWidth() == 980; }));
  }

  // A page loaded on the desktop goes to the phone laid out once, at the
  // width its tag asks for, never first at 980 (a second layout of a big
  // page, and a flash of it too small).
  void deviceChosenAfterTheLoadIsPlacedOnce() {
    QVERIFY(driver::load(browser_.get(), write(kResponsive)));
    QVERIFY(driver::js(browser_.get(), QStringLiteral("document.body.offsetHeight")).isValid());
    QList<int> widths;
    connect(browser_.get(), &WebBrowser::DeviceShown, this,
            [&] { widths << browser_->deviceLayoutWidth(); });
    browser_->state()->setDevice(deviceview::preset(Kind::Phone));
    QVERIFY(driver::waitFor([&] { return innerWidth() == 390; }));
    QCOMPARE(widths, QList<int>{390});
  }

  // The window changes, the device does not: only its scale follows.
  void screenKeepsItsSizeWhenTheWindowChanges() {
    QVERIFY(driver::load(browser_.get(), write(kResponsive)));
    browser_->state()->setDevice(deviceview::preset(Kind::Tablet));
    QVERIFY(driver::waitFor([&] { return innerWidth() == 820; }));
    const double scale = browser_->deviceFit().scale;
    browser_->resize(500, 400);
    QVERIFY(browser_->deviceFit().scale < scale);
    QVERIFY(browser_->view()->width() <= 500);
    QVERIFY(driver::waitFor([&] { return innerWidth() == 820; }));
  }

  // A word typed in the phone view is saved as a word typed on the desktop:
  // the file gets the word and nothing of the view.
  void typedInADeviceViewSavesMinimally() {
    const QString path = write(kResponsive);
    browser_->state()->setDevice(deviceview::preset(Kind::Phone));
    browser_->state()->setEditing(true);
    QVERIFY(driver::load(browser_.get(), path));
    browser_->setDesignMode(QStringLiteral("On"));
    QCOMPARE(driver::designMode(browser_.get()), QStringLiteral("on"));
    QVERIFY(driver::waitFor([&] { return innerWidth() == 390; }));
    QVERIFY(driver::typeInto(browser_.get(), QStringLiteral("#first"), "zebra"));
    // Switching the view while editing keeps the edit where it is, and the
    // keys go on reaching the page.
    browser_->state()->setDevice(deviceview::preset(Kind::Tablet));
    QVERIFY(driver::waitFor([&] { return innerWidth() == 820; }));
    QVERIFY(browser_->view()->focusProxy()->hasFocus());
    QTest::keyClicks(browser_->view()->focusProxy(), "s");
    QVERIFY(
        driver::waitFor([&] { return driver::markup(browser_.get()).contains("Hellozebras"); }));

    MsgBoxRecorder rec(MsgAnswer::Save);
    browser_->state()->setEditing(false);
    QSignalSpy done(browser_.get(), &WebBrowser::DownloadComplete);
    browser_->Navigate2(path);
    QVERIFY(done.wait(30000));
    QVERIFY(browser_->session()->lastSaveWay().minimal);
    QByteArray expected = kResponsive;
    expected.replace("Hello", "Hellozebras");
    QCOMPARE(testfiles::read(path), expected);
  }

  // A page cannot make itself wider than the engine can show on the screen,
  // nor does its tag reach the file or the desktop view.
  void hostileViewportTagIsHeld() {
    QVERIFY(driver::load(browser_.get(),
                         write("<meta name=viewport content=\"width=99999999\"><p>x</p>")));
    browser_->state()->setDevice(deviceview::preset(Kind::Phone));
    QVERIFY(driver::waitFor([&] { return innerWidth() == 390 * 4; }));
    browser_->state()->setDevice(deviceview::desktop());
    QVERIFY(driver::waitFor([&] { return innerWidth() == 800; }));
  }

 private:
  QString write(const QByteArray& bytes) {
    const QString path = dir_->filePath(QStringLiteral("page.html"));
    testfiles::write(path, bytes);
    return path;
  }
  int innerWidth() { return driver::js(browser_.get(), QStringLiteral("innerWidth")).toInt(); }

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<WebBrowser> browser_;
};

QV_TEST_MAIN(WebBrowserDeviceTest)
#include "web_browser_device_test.moc"
