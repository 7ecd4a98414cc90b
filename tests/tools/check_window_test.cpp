// The Check Pages window as the user meets it: opened from the main window,
// the problems of a small site listed (and nothing for what is fine), the
// user's own accounts remembered, a row showing its page at the problem,
// and Cancel.
#include "tools/check_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/main_window.h"
#include "app/main_window_layout.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "support/msg_box_recorder.h"
#include "support/page_script.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "support/web_test_server.h"
#include "widgets/link_label.h"

namespace {

void write(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  testfiles::write(path, bytes);
}

// "page: problem (severity)" for each row.
QStringList rows(QTreeWidget* list) {
  QStringList out;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = list->topLevelItem(i);
    out << QStringLiteral("%1: %2 (%3)").arg(item->text(0), item->text(3), item->text(2));
  }
  return out;
}

}  // namespace

class CheckWindowTest final : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QStringList pages_;

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QFile::remove(sitecheck::defaultSettingsFile());
    write(dir_.filePath("site/sales.html"),
          "<html><head><title>Sales</title>\n"
          "<link rel=\"stylesheet\" href=\"css/style.css\"></head><body>\n"
          "<img src=\"Images/Cover.gif\" alt=\"The book\">\n"
          "<p>Get it now: [BUYBUTTON]</p>\n"
          "<a "
          "href=\"https://www.paypal.com/cgi-bin/"
          "webscr?cmd=_xclick&amp;business=other%40seller.com\">Buy</a>\n"
          "<a href=\"https://paypal.me/MyOwnName\">Tip me</a>\n" +
              QByteArray("<p>Read on.</p>\n").repeated(200) + "</body></html>\n");
    write(dir_.filePath("site/images/cover.gif"), "GIF89a");
    write(dir_.filePath("site/thanks.html"),
          "<html><head></head><body><p>Thank you</p></body></html>");
    write(dir_.filePath("site/clean.html"),
          "<html><head><title>Clean</title></head><body><img src=images/cover.gif alt=c>"
          "<a href=thanks.html>thanks</a></body></html>");
    pages_ = QStringList{dir_.filePath("site/sales.html"), dir_.filePath("site/thanks.html"),
                         dir_.filePath("site/clean.html")};
  }

  // A missing style sheet, a picture whose letter case differs, a leftover
  // placeholder, another seller's PayPal link, a page without a title: each
  // listed; the user's own PayPal link and the clean page: nothing. A row
  // shows its page with the problem selected.
  void showsEachProblemAndNothingElse() {
    sitecheck::saveIdentities(sitecheck::defaultSettingsFile(), "me@mine.com, MyOwnName");
    Form2 form;
    form.findChild<QTimer*>("Timer1")->stop();
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    auto* pageList = form.findChild<QComboBox*>("Combo1");
    pageList->addItems(pages_);
    QTest::keyClick(&form, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QPointer<frmCheck> w = form.findChild<frmCheck*>("frmCheck");
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("Check Pages"));
    for (const char* name : {"lstProblems", "cmdCheck", "txtMine", "chkWebLinks", "lblSummary",
                             "prgCheck", "cmdCancel", "cmdClose"})
      QVERIFY2(w->findChild<QWidget*>(name), name);
    QSignalSpy done(w.data(), &frmCheck::checkDone);
    QVERIFY(done.wait(20000));
    auto* list = w->findChild<QTreeWidget*>("lstProblems");
    QCOMPARE(rows(list),
             (QStringList{
                 "sales.html: missing file (Error)", "sales.html: letter case differs (Error)",
                 "sales.html: leftover placeholder (Warning)",
                 "sales.html: payment link not yours (Error)", "thanks.html: no title (Warning)"}));
    QCOMPARE(w->findChild<QLabel*>("lblSummary")->text(),
             QStringLiteral("3 errors and 2 warnings in 3 pages."));
    QVERIFY(list->topLevelItem(3)->text(4).contains("other@seller.com"));
    QCOMPARE(list->topLevelItem(2)->text(1), QStringLiteral("4"));

    // Enter on the placeholder's row: the main window shows the page with
    // the placeholder selected.
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(2));
    QSignalSpy chosen(w.data(), &frmCheck::problemChosen);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen[0][1].toInt(), 4);
    auto* browser = form.findChild<WebBrowser*>("WebBrowser1");
    QTRY_COMPARE_WITH_TIMEOUT(pagescript::run(browser, "String(window.getSelection())").toString(),
                              QStringLiteral("[BUYBUTTON]"), 20000);
    QCOMPARE(pageList->currentText(), pages_[0]);

    // A double-click on the PayPal row selects the link.
    const QPoint paypalRow = list->visualItemRect(list->topLevelItem(3)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, paypalRow);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, paypalRow);
    QCOMPARE(chosen.size(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(
        pagescript::run(browser,
                        "window.getSelection().getRangeAt(0).startContainer"
                        ".childNodes[window.getSelection().getRangeAt(0).startOffset]"
                        ".textContent")
            .toString(),
        QStringLiteral("Buy"), 20000);

    // While the page is edited the row does not take the page away.
    browser->state()->setEditing(true);
    {
      MsgBoxRecorder messages;
      QTest::keyClick(list, Qt::Key_Return);
      QCOMPARE(messages.calls.size(), 1);
      QVERIFY(messages.calls[0].prompt.startsWith("Please save or discard your changes"));
    }
    browser->state()->setEditing(false);

    // The accounts are the user's, kept for next time; with none named,
    // each payment link says whom it pays.
    auto* mine = w->findChild<QLineEdit*>("txtMine");
    QCOMPARE(mine->text(), QStringLiteral("me@mine.com, MyOwnName"));
    mine->clear();
    QVERIFY(QMetaObject::invokeMethod(mine, "editingFinished"));
    QVERIFY(done.wait(20000));
    QCOMPARE(rows(list).filter("payment"),
             (QStringList{"sales.html: payment link (Note)", "sales.html: payment link (Note)"}));
    QVERIFY(list->topLevelItem(4)->text(4).contains("MyOwnName"));
    QCOMPARE(sitecheck::savedIdentities(sitecheck::defaultSettingsFile()), QString());
    delete w;
  }

  void webAddressesAskedAndCancelled() {
    WebTestServer server;
    QVERIFY(server.start());
    server.answer("/gone", {404, 0, false, 0});
    server.answer("/wait", {200, 0, true, 0});
    const QString page = dir_.filePath("web/links.html");
    write(page, "<title>Links</title>\n<a href=\"" + server.url("/ok").toUtf8() +
                    "\">a</a>\n<a href=\"" + server.url("/gone").toUtf8() + "\">b</a>\n");
    QComboBox pageList;
    pageList.addItem(page);
    auto* w = new frmCheck(&pageList, nullptr, nullptr, dir_.filePath("web.ini"));
    w->show();
    QSignalSpy done(w, &frmCheck::checkDone);
    QVERIFY(done.wait(20000));
    auto* list = w->findChild<QTreeWidget*>("lstProblems");
    QCOMPARE(list->topLevelItemCount(), 0);
    w->findChild<QCheckBox*>("chkWebLinks")->setChecked(true);  // asks the pages' addresses now
    QVERIFY(done.wait(20000));
    QCOMPARE(rows(list), QStringList{"links.html: broken web link (Warning)"});
    QVERIFY(list->topLevelItem(0)->text(4).contains("404"));
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("3"));

    // A server that never answers: Cancel ends the check at once.
    write(page, "<title>Links</title><a href=\"" + server.url("/wait").toUtf8() + "\">w</a>");
    QTest::mouseClick(w->findChild<QPushButton*>("cmdCheck"), Qt::LeftButton);
    QTRY_VERIFY(server.seen.contains("HEAD /wait"));
    auto* cancel = w->findChild<QPushButton*>("cmdCancel");
    QVERIFY(cancel->isEnabled());
    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(!w->busy());
    QVERIFY(!w->findChild<QProgressBar*>("prgCheck")->isVisible());
    QVERIFY(w->findChild<QLabel*>("lblSummary")->text().endsWith("The check was cancelled."));
    delete w;
  }

  void theCheckLinkSitsInTheHeaderBand_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("left");
    QTest::newRow("as designed") << 16515 << 10510;
    QTest::newRow("too narrow for it") << 5000 << 0;
  }
  void theCheckLinkSitsInTheHeaderBand() {
    QFETCH(int, width);
    QFETCH(int, left);
    const MainWindowLayout l = layoutForWidth(width);
    QCOMPARE(l.lblCheckLeft, left);
    if (left > 0)
      QCOMPARE(l.lblCheckLeft + MainWindowMetrics{}.lblCheckWidth + 100, l.lblHistoryLeft);
  }

  void theLinkOpensItOnce() {
    Form2 form;
    form.findChild<QTimer*>("Timer1")->stop();
    form.resize(900, 600);
    form.show();
    form.findChild<QComboBox*>("Combo1")->addItem(pages_[2]);
    auto* link = form.findChild<LinkLabel*>("lblCheck");
    QVERIFY(link);
    QCOMPARE(link->parentWidget()->objectName(), QStringLiteral("Picture2"));
    QVERIFY(link->geometry().right() < form.findChild<LinkLabel*>("lblHistory")->geometry().left());
    QTest::mouseClick(link, Qt::LeftButton);
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(form.findChildren<frmCheck*>().size(), 1);
  }
};

QV_TEST_MAIN(CheckWindowTest)
#include "check_window_test.moc"
