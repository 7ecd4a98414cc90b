// Every tool that writes a page keeps the page as it was, under its own name;
// the program's own switch file keeps nothing.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

#include "files/page_history.h"
#include "help/save_switch.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "tools/insert_code.h"
#include "tools/pro_options.h"

class HistoryWritersTest final : public QObject {
  Q_OBJECT

 private slots:
  void everyWriterRecords_data();
  void everyWriterRecords();
  void switchFileKeepsNoHistory();
};

namespace {

const QByteArray kPage =
    "<html><head><title>Old</title></head>\r\n<body><p>[BUYBUTTON]</p></body></html>";

void click(QWidget* w, const char* name) {
  QTest::mouseClick(w->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
}

}  // namespace

void HistoryWritersTest::everyWriterRecords_data() {
  QTest::addColumn<QString>("action");
  for (const char* action : {"Insert Code", "Head Code", "Back Button", "Page Title"})
    QTest::newRow(action) << QString::fromLatin1(action);
}

void HistoryWritersTest::everyWriterRecords() {
  QFETCH(QString, action);
  QTemporaryDir dir;
  const QString page = dir.filePath(QStringLiteral("sales.htm"));
  testfiles::write(page, kPage);
  QComboBox pageList;
  pageList.addItem(page);
  MsgBoxRecorder answers;

  if (action == u"Insert Code") {
    QPointer<Form3> form = new Form3(&pageList, nullptr);
    form->findChild<QPlainTextEdit*>(QStringLiteral("txtToReplace"))
        ->setPlainText(QStringLiteral("<b>Buy</b>"));
    click(form, "Command1");
    delete form;
  } else {
    QPointer<frmPRO> form = new frmPRO(&pageList, nullptr);
    form->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("New"));
    form->findChild<QPlainTextEdit*>(QStringLiteral("txtRetargeting"))
        ->setPlainText(QStringLiteral("<script>track()</script>"));
    form->findChild<QLineEdit*>(QStringLiteral("txtBackRedirect"))
        ->setText(QStringLiteral("https://example.com/offer"));
    click(form, action == u"Page Title"  ? "cmdUpdate_0"
                : action == u"Head Code" ? "cmdUpdate_1"
                                         : "cmdUpdate_2");
    delete form;
  }
  QVERIFY2(testfiles::read(page) != kPage, "the writer did not write");
  const std::vector<history::Version> kept = history::versions(page);
  QCOMPARE(kept.size(), 1u);
  QCOMPARE(kept[0].action, action);
  QByteArray before;
  QVERIFY(history::readVersion(page, kept[0], before));
  QCOMPARE(before, kPage);
}

void HistoryWritersTest::switchFileKeepsNoHistory() {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("save.alt"));
  testfiles::write(file, "old");
  QVERIFY(saveswitch::turnOn(TextBuffer{QStringLiteral("Text1"), TextEncoding::Utf8}, file));
  QCOMPARE(testfiles::read(file), QByteArray("Text1"));
  QVERIFY(history::versions(file).empty());
}

QV_TEST_MAIN(HistoryWritersTest)
#include "history_writers_test.moc"
