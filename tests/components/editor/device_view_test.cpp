#include "editor/device_view.h"

#include <QTest>

using Kind = DeviceView::Kind;

// The device view's arithmetic: the width a phone lays a page out at, and how
// its screen is scaled into the preview.
class DeviceViewTest final : public QObject {
  Q_OBJECT
 private slots:
  void layoutWidth_data() {
    QTest::addColumn<QVariant>("content");  // null: no viewport tag
    QTest::addColumn<int>("screenWidth");
    QTest::addColumn<int>("expected");
    QTest::newRow("no tag") << QVariant() << 390 << 980;
    QTest::newRow("device width") << QVariant("width=device-width, initial-scale=1") << 390 << 390;
    QTest::newRow("upper case, semicolons, blanks")
        << QVariant(" WIDTH = Device-Width ; initial-scale=1.0") << 820 << 820;
    QTest::newRow("fixed width") << QVariant("width=600") << 390 << 600;
    QTest::newRow("initial scale alone") << QVariant("initial-scale=0.5") << 390 << 780;
    QTest::newRow("tag setting neither") << QVariant("user-scalable=no") << 390 << 980;
    QTest::newRow("empty tag") << QVariant("") << 390 << 980;
    QTest::newRow("garbage width ignored") << QVariant("width=wide, initial-scale=1") << 390 << 390;
    QTest::newRow("negative width ignored") << QVariant("width=-5") << 390 << 980;
    QTest::newRow("huge width held to the least zoom") << QVariant("width=1e300") << 390 << 1560;
    QTest::newRow("tiny width held to the largest zoom") << QVariant("width=1") << 390 << 78;
    QTest::newRow("zero scale ignored") << QVariant("initial-scale=0") << 390 << 980;
  }
  void layoutWidth() {
    QFETCH(QVariant, content);
    QFETCH(int, screenWidth);
    QFETCH(int, expected);
    std::optional<QString> c;
    if (content.isValid()) c = content.toString();
    QCOMPARE(deviceview::layoutWidth(c, screenWidth), expected);
  }

  void fit_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QSize>("area");
    QTest::addColumn<int>("layoutWidth");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<double>("zoom");
    QTest::newRow("fits: life size")
        << QSize(390, 844) << QSize(1000, 900) << 390 << QSize(390, 844) << 1.0;
    QTest::newRow("too tall: scaled down")
        << QSize(390, 844) << QSize(1000, 422) << 390 << QSize(195, 422) << 0.5;
    QTest::newRow("too wide: scaled down")
        << QSize(844, 390) << QSize(422, 900) << 844 << QSize(422, 195) << 0.5;
    QTest::newRow("980 laid out on a life-size phone")
        << QSize(390, 844) << QSize(1000, 900) << 980 << QSize(390, 844) << 390.0 / 980;
    // 0.25 × 980 / 390: smaller, the engine could not zoom the page out enough.
    QTest::newRow("980 on a small area: cut, not zoomed below the least")
        << QSize(390, 844) << QSize(1000, 300) << 980 << QSize(245, 530) << 0.25;
    QTest::newRow("empty area leaves the page as it is")
        << QSize(390, 844) << QSize(0, 0) << 390 << QSize() << 1.0;
  }
  void fit() {
    QFETCH(QSize, screen);
    QFETCH(QSize, area);
    QFETCH(int, layoutWidth);
    QFETCH(QSize, shown);
    QFETCH(double, zoom);
    const deviceview::Fit f = deviceview::fit(screen, area, layoutWidth);
    QCOMPARE(f.shown, shown);
    QVERIFY2(qAbs(f.zoom - zoom) < 0.002, qPrintable(QString::number(f.zoom)));
    // The page sees exactly its layout width across what is shown.
    if (!shown.isEmpty()) QCOMPARE(qRound(f.shown.width() / f.zoom), layoutWidth);
  }

  // Pages tell phones from tablets by these words: a phone says Android and
  // Mobile, a tablet Android alone; the desktop's own agent is left alone.
  void userAgent() {
    const QString desktop = QStringLiteral(
        "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
        "QtWebEngine/6.4.2 Chrome/102.0.5005.177 Safari/537.36");
    QCOMPARE(deviceview::userAgent(desktop, deviceview::desktop()), desktop);
    const QString phone = deviceview::userAgent(desktop, deviceview::preset(Kind::Phone));
    const QString tablet = deviceview::userAgent(desktop, deviceview::preset(Kind::Tablet));
    QVERIFY2(phone.contains(u"Android") && phone.contains(u"Mobile Safari"), qPrintable(phone));
    QVERIFY2(tablet.contains(u"Android") && !tablet.contains(u"Mobile"), qPrintable(tablet));
    QVERIFY(!phone.contains(u"X11") && phone.contains(u"Chrome/102"));
  }

  // Custom sides are held within limits; every kind reads back from its key,
  // and a word from a damaged settings file reads as the desktop.
  void presetsAndKeys() {
    QCOMPARE(deviceview::preset(Kind::Custom, 10, 99999).screen(),
             QSize(deviceview::kMinSide, deviceview::kMaxSide));
    QCOMPARE(deviceview::sizeText(deviceview::preset(Kind::Phone)), QStringLiteral("390 × 844"));
    DeviceView r = deviceview::preset(Kind::Phone);
    r.rotated = true;
    QCOMPARE(deviceview::sizeText(r), QStringLiteral("844 × 390"));
    QCOMPARE(deviceview::name(Kind::SmallPhone), QStringLiteral("Small phone 360 × 640"));
    for (Kind k : {Kind::Desktop, Kind::Phone, Kind::SmallPhone, Kind::Tablet, Kind::Custom})
      QCOMPARE(deviceview::kindOf(deviceview::key(k)), k);
    QCOMPARE(deviceview::kindOf(QStringLiteral("<script>")), Kind::Desktop);
  }
};

QTEST_GUILESS_MAIN(DeviceViewTest)
#include "device_view_test.moc"
