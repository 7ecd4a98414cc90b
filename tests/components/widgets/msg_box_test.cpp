// The one message box shows its text as plain text: a message that names
// a tag or a file name holding markup is shown whole.
#include "widgets/msg_box.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

class MsgBoxTest final : public QObject {
  Q_OBJECT
 private slots:
  void plainText_data();
  void plainText();
};

void MsgBoxTest::plainText_data() {
  QTest::addColumn<QString>("prompt");
  QTest::newRow("a tag in the text")
      << QStringLiteral("Broken HTML file (<HEAD> tag is missing. Can't complete this action");
  QTest::newRow("markup in a file name")
      << QStringLiteral("Could not save <b>sale</b>&amp;.htm: the file is read-only.");
  QTest::newRow("plain text") << QStringLiteral("Done!");
}

void MsgBoxTest::plainText() {
  QFETCH(QString, prompt);
  QString shown;
  Qt::TextFormat format = Qt::AutoText;
  bool seen = false;
  // The real box, answered from the event loop it runs.
  QTimer look;
  connect(&look, &QTimer::timeout, this, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
      shown = label->text();
      format = label->textFormat();
    }
    seen = true;
    box->done(QMessageBox::Ok);
  });
  look.start(20);
  const MsgAnswer answer =
      MsgBox(prompt, MsgButtons::OkOnly, MsgIcon::Critical, QStringLiteral("File Error"));
  QVERIFY(seen);
  QCOMPARE(answer, MsgAnswer::Ok);
  QCOMPARE(format, Qt::PlainText);
  QCOMPARE(shown, prompt);
}

QTEST_MAIN(MsgBoxTest)
#include "msg_box_test.moc"
