#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include "app/main_window.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "support/browser_driver.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"

using Kind = DeviceView::Kind;

// The device row of the main window: it tells the browser's editing state,
// shows what the state says, and is remembered between runs.
class MainWindowDeviceTest final : public QObject {
  Q_OBJECT

  std::unique_ptr<Form2> form;
  WebBrowser* browser = nullptr;
  QComboBox* device = nullptr;
  QLabel* size = nullptr;
  QTemporaryDir dir;

  void open() {
    form = std::make_unique<Form2>();
    form->findChild<QTimer*>("Timer1")->stop();
    browser = form->findChild<WebBrowser*>("WebBrowser1");
    device = form->findChild<QComboBox*>("cboDevice");
    size = form->findChild<QLabel*>("lblDeviceSize");
    QVERIFY(browser && device && size);
    form->show();
  }
  void choose(Kind kind) {
    const int index = device->findData(deviceview::key(kind));
    device->setCurrentIndex(index);
    emit device->activated(index);
  }
  QString settingsFile() const {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Quorvane/preview.ini");
  }

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  void init() {
    QFile::remove(settingsFile());
    open();
  }
  void cleanup() { form.reset(); }

  void choosingRotatingTogglingAndRemembering() {
    QCOMPARE(browser->state()->device(), deviceview::desktop());
    QCOMPARE(size->text(), QString());
    QVERIFY(!form->findChild<QPushButton*>("cmdRotate")->isEnabled());
    choose(Kind::Phone);
    QCOMPARE(browser->state()->device(), deviceview::preset(Kind::Phone));
    QCOMPARE(size->text(), QStringLiteral("390 × 844"));
    QTest::mouseClick(form->findChild<QPushButton*>("cmdRotate"), Qt::LeftButton);
    QCOMPARE(size->text(), QStringLiteral("844 × 390"));
    QVERIFY(form->findChild<QLabel*>("lblDeviceScale")->text().endsWith(" %"));

    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    // Ctrl+Shift+M: the desktop, and back to the device as it was held.
    QTest::keyClick(form.get(), Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(browser->state()->device(), deviceview::desktop());
    QCOMPARE(device->currentData().toString(), QStringLiteral("desktop"));
    QTest::keyClick(form.get(), Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(size->text(), QStringLiteral("844 × 390"));

    // The next run starts where this one ended.
    open();
    QCOMPARE(browser->state()->device().screen(), QSize(844, 390));
    QCOMPARE(device->currentData().toString(), QStringLiteral("phone"));
  }

  // A run that starts in the phone view remembered: the start page first,
  // then the page handed over as the welcome window does, laid out by its
  // own viewport tag at the phone's width, the scale shown the one it needs.
  void startsInTheRememberedPhone() {
    form.reset();
    QSettings(settingsFile(), QSettings::IniFormat).setValue("device/kind", "phone");
    open();
    QVERIFY(driver::waitLoaded(browser));
    QCOMPARE(browser->deviceLayoutWidth(), deviceview::kUntaggedWidth);  // the start page
    const QString page = dir.filePath("tagged.html");
    testfiles::write(page, "<meta name=viewport content=\"width=device-width\"><p>Hello</p>");
    auto* pages = form->findChild<QComboBox*>("Combo1");
    pages->addItem(page);
    pages->setCurrentIndex(pages->count() - 1);
    emit pages->activated(pages->currentIndex());
    QVERIFY(driver::waitLoaded(browser));
    QVERIFY(driver::waitFor(
        [&] { return driver::js(browser, QStringLiteral("window.innerWidth")).toInt() == 390; }));
    QCOMPARE(browser->deviceLayoutWidth(), 390);
    // Shown as after going to the desktop and back, which places it afresh.
    auto* scale = form->findChild<QLabel*>("lblDeviceScale");
    const QString shown = scale->text();
    const QSize view = browser->view()->size();
    choose(Kind::Desktop);
    choose(Kind::Phone);
    QVERIFY(driver::waitFor([&] { return browser->deviceLayoutWidth() == 390; }));
    QCOMPARE(scale->text(), shown);
    QCOMPARE(browser->view()->size(), view);
  }

  void customSides() {
    choose(Kind::Custom);
    auto* w = form->findChild<QLineEdit*>("txtDeviceWidth");
    auto* h = form->findChild<QLineEdit*>("txtDeviceHeight");
    QVERIFY(w->isVisible() && h->isVisible());
    w->setText(QStringLiteral("500"));
    h->setText(QStringLiteral("700"));
    emit h->editingFinished();
    QCOMPARE(browser->state()->device().screen(), QSize(500, 700));
    QCOMPARE(size->text(), QStringLiteral("500 × 700"));
    choose(Kind::Tablet);
    QVERIFY(!w->isVisible());
    choose(Kind::Custom);  // the custom sides are kept
    QCOMPARE(size->text(), QStringLiteral("500 × 700"));
  }

  // A damaged or hand-edited settings file starts on the desktop, within limits.
  void damagedSettingsRead() {
    form.reset();
    {
      QSettings s(settingsFile(), QSettings::IniFormat);
      s.setValue("device/kind", "<b>phone</b>");
      s.setValue("device/customWidth", -5);
      s.setValue("device/customHeight", "lots");
    }
    open();
    QCOMPARE(browser->state()->device(), deviceview::desktop());
    choose(Kind::Custom);
    QCOMPARE(browser->state()->device().screen(),
             QSize(deviceview::kMinSide, deviceview::kMinSide));
  }

  // The device row sits under the shortcuts panel, inside the designed
  // window, and the resize rule moves none of it.
  void rowKeepsTheLayoutRule() {
    auto* shortcuts = form->findChild<QWidget*>("frShortcuts");
    const QRect before = device->geometry();
    QVERIFY(before.top() >= shortcuts->geometry().bottom());
    QVERIFY(form->findChild<QWidget*>("cmdSavePicture")->geometry().bottom() < form->height());
    form->resize(700, form->height());
    QCOMPARE(device->geometry(), before);
  }

  // The page as the phone shows it, as wide as its screen and as tall as the page.
  void savePicture() {
    const QString page = dir.filePath("tall.html");
    testfiles::write(page,
                     "<meta name=viewport content=\"width=device-width\"><style>body{margin:0}"
                     "</style><div style=\"height:2000px;background:rgb(255,0,0)\"></div>");
    choose(Kind::Phone);
    QVERIFY(driver::load(browser, page));
    QVERIFY(driver::waitFor([&] { return browser->deviceLayoutWidth() == 390; }));
    const QSize shownBefore = browser->view()->size();
    const QString png = dir.filePath("phone.png");
    MsgBoxRecorder rec;
    form->savePictureTo(png);
    QVERIFY(driver::waitFor([&] { return QFile::exists(png) || !rec.calls.isEmpty(); }, 20000));
    QVERIFY(rec.calls.isEmpty());
    const QImage image(png);
    QCOMPARE(image.width(), 390);
    QCOMPARE(image.height(), 2000);
    QCOMPARE(image.pixelColor(200, 1500), QColor(255, 0, 0));
    QCOMPARE(browser->view()->size(), shownBefore);
  }
};

QV_TEST_MAIN(MainWindowDeviceTest)
#include "main_window_device_test.moc"
