// Esc in the Insert Code and Pro Version windows: closes them, asking first
// when code typed or pasted there has not been put into a page.
#include <QPlainTextEdit>
#include <QTest>

#include "support/msg_box_recorder.h"
#include "support/test_main.h"
#include "support/tool_host.h"
#include "tools/insert_code.h"
#include "tools/pro_options.h"

class EscapeAsksTest final : public QObject {
  Q_OBJECT
 private slots:
  void escapeAsksWhereCodeWouldBeLost_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closed");
    for (const char* w : {"Form3", "frmPRO"}) {
      const QString name = QString::fromLatin1(w);
      QTest::addRow("%s, empty box", w) << name << QString() << MsgAnswer::No << false << true;
      QTest::addRow("%s, only spaces", w) << name << "  \n" << MsgAnswer::No << false << true;
      QTest::addRow("%s, code kept", w)
          << name << "<script>x()</script>" << MsgAnswer::No << true << false;
      QTest::addRow("%s, code given up", w)
          << name << "<script>x()</script>" << MsgAnswer::Yes << true << true;
    }
  }
  void escapeAsksWhereCodeWouldBeLost() {
    QFETCH(QString, window);
    QFETCH(QString, typed);
    QFETCH(MsgAnswer, answer);
    QFETCH(bool, asked);
    QFETCH(bool, closed);
    QWidget host;
    QComboBox* pages = nullptr;
    WebBrowser* browser = nullptr;
    tooltest::buildHost(host, pages, browser);
    QPointer<QDialog> w;
    if (window == "Form3") w = new Form3(pages, browser, &host);
    if (window == "frmPRO") w = new frmPRO(pages, browser, &host);
    w->show();
    const char* box = window == "Form3" ? "txtToReplace" : "txtRetargeting";
    w->findChild<QPlainTextEdit*>(box)->setPlainText(typed);
    MsgBoxRecorder messages(answer);
    QTest::keyClick(w, Qt::Key_Escape);
    QCOMPARE(messages.calls.size(), asked ? 1 : 0);
    if (asked) QCOMPARE(messages.calls[0].buttons, MsgButtons::YesNo);
    QCOMPARE(!w || !w->isVisible(), closed);
  }
};

QV_TEST_MAIN(EscapeAsksTest)
#include "escape_asks_test.moc"
