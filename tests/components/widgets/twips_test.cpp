#include "widgets/twips.h"

#include <QApplication>
#include <QTest>

#include "widgets/v_frame.h"

// Twips to pixels, and the panel whose height follows its state at once.
class TwipsTest final : public QObject {
  Q_OBJECT

 private slots:
  void twipsAtNinetySixDpi() {
    QCOMPARE(twips::toPixels(1440, 96), 96);
    QCOMPARE(twips::toPixels(405, 96), 27);
    QCOMPARE(twips::fromPixels(96, 96), 1440);
    QCOMPARE(twips::toPixels(twips::fromPixels(1093, 96), 96), 1093);
  }

  void panelHeightFollowsAtOnce() {
    vFrame panel;
    panel.setWidth(11580);
    panel.setExpandedvalue(4875);
    panel.setExpanded(false);
    QCOMPARE(panel.Height(), vFrame::kClosedHeight);
    QCOMPARE(panel.height(), twips::toPixels(405, twips::dpiOf(&panel)));
    panel.setExpanded(true);
    QCOMPARE(panel.Height(), 4875);
    panel.setTop(650);
    QCOMPARE(panel.Top(), 650);
    QCOMPARE(panel.y(), twips::toPixels(650, twips::dpiOf(&panel)));
  }
};

QTEST_MAIN(TwipsTest)
#include "twips_test.moc"
