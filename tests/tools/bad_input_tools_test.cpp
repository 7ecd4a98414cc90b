// The page code tools (Insert Code; head code, back button and title of the
// Pro options) on every kind of strange file: a clear message and the file
// untouched where it cannot be read or written, the right bytes written
// where it can, and the program still there either way.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "editor/web_browser.h"
#include "support/bad_inputs.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "support/write_denied.h"
#include "tools/insert_code.h"
#include "tools/pro_options.h"

namespace {

enum class Action { InsertCode, HeadCode, BackButton, Title };

const QString kDone = QStringLiteral("Done!");
const QString kNoHead =
    QStringLiteral("Broken HTML file (<HEAD> tag is missing. Can't complete this action");

// The first part of the message an input gives, whatever the action; empty
// where the action goes through.
QString failureOf(const QString& kind, const QString& name) {
  if (kind == u"missing file" || kind == u"deleted between listed and used")
    return QStringLiteral("Could not read %1: the file does not exist.").arg(name);
  if (kind == u"folder")
    return QStringLiteral("Could not read %1: it is a folder, not a file.").arg(name);
  if (kind == u"named pipe" || kind == u"link to a device")
    return QStringLiteral("Could not read %1: it is not a regular file.").arg(name);
  if (kind == u"read-only file")
    return QStringLiteral("Could not save %1: the file is read-only.").arg(name);
  if (kind == u"read-only folder") return QStringLiteral("Could not save %1: ").arg(name);
  return {};
}

// bytes with insert put directly before the closing head tag.
QByteArray beforeHeadEnd(QByteArray bytes, const QByteArray& insert) {
  return bytes.replace("</head>", insert + "</head>");
}

}  // namespace

class BadInputToolsTest final : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void insertCode_data() { rows(Action::InsertCode); }
  void insertCode() { run(Action::InsertCode); }
  void headCode_data() { rows(Action::HeadCode); }
  void headCode() { run(Action::HeadCode); }
  void backButton_data() { rows(Action::BackButton); }
  void backButton() { run(Action::BackButton); }
  void title_data() { rows(Action::Title); }
  void title() { run(Action::Title); }

 private:
  void rows(Action action);
  void run(Action action);
  void click(Action action, const QString& page);

  QWidget host_;
  QComboBox* pageList_ = nullptr;
  WebBrowser* browser_ = nullptr;
  QTemporaryDir bigDir_;
};

void BadInputToolsTest::initTestCase() {
  pageList_ = new QComboBox(&host_);
  pageList_->setEditable(true);
  browser_ = new WebBrowser(&host_);
  browser_->setSilent(true);
  browser_->resize(400, 300);
  host_.show();
}

void BadInputToolsTest::rows(Action action) {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("message");  // what the first message starts with
  for (const QString& kind : badinputs::kinds()) {
    QString message =
        failureOf(kind, kind == u"200 MB page"          ? QStringLiteral("big.htm")
                        : kind.startsWith(u"path with") ? QStringLiteral("it's a “sale” – ü.htm")
                                                        : QStringLiteral("page.htm"));
    if (message.isEmpty() && action != Action::Title)
      message = kind == u"0-byte file" && action != Action::InsertCode ? kNoHead : kDone;
    QTest::newRow(qPrintable(kind)) << kind << message;
  }
}

void BadInputToolsTest::click(Action action, const QString& page) {
  pageList_->setEditText(page);
  if (action == Action::InsertCode) {
    QPointer<Form3> w = new Form3(pageList_, browser_, &host_);
    w->findChild<QPlainTextEdit*>("txtToReplace")->setPlainText(QStringLiteral("<b>PAY</b>"));
    QTest::mouseClick(w->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    w->close();
    return;
  }
  QPointer<frmPRO> w = new frmPRO(pageList_, browser_, &host_);
  w->findChild<QPlainTextEdit*>("txtRetargeting")->setPlainText(QStringLiteral("<meta name=x>"));
  w->findChild<QLineEdit*>("txtBackRedirect")->setText(QStringLiteral("http://back.example/"));
  w->findChild<QLineEdit*>("Text1")->setText(QStringLiteral("New & Title"));
  const int index = action == Action::Title ? 0 : action == Action::HeadCode ? 1 : 2;
  QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cmdUpdate_%1").arg(index)),
                    Qt::LeftButton);
  w->close();
}

void BadInputToolsTest::run(Action action) {
  QFETCH(QString, kind);
  QFETCH(QString, message);
  QTemporaryDir dir;
  const badinputs::Input in = badinputs::make(kind, dir.path(), bigDir_.path());
  const bool big = kind == u"200 MB page";
  const QByteArray before = big ? QByteArray() : testfiles::read(in.target);
  const qint64 bigSize = big ? QFileInfo(in.target).size() : 0;
  if (in.deleteBeforeUse) QVERIFY(QFile::remove(in.path));

  MsgBoxRecorder rec;
  QSignalSpy shown(browser_, &WebBrowser::DownloadComplete);
  {
    std::optional<WriteDenied> denied;
    if (!in.denied.isEmpty()) denied.emplace(in.denied, QStringList{dir.path()});
    if (denied && !denied->active()) QSKIP("cannot take write access away from this process");
    click(action, in.path);
  }
  if (message.isEmpty()) {
    QVERIFY(rec.calls.isEmpty());
  } else {
    QCOMPARE(rec.calls.size(), 1);
    QVERIFY2(rec.calls[0].prompt.startsWith(message), qPrintable(rec.calls[0].prompt));
  }
  const bool written = message == kDone || (message.isEmpty() && action == Action::Title);
  if (!written || kind == u"0-byte file") {
    if (!in.deleteBeforeUse && kind != u"missing file")
      QCOMPARE(testfiles::read(in.target), before);
    return;
  }
  QCOMPARE(QFileInfo(in.path).isSymLink(), kind == u"symbolic link");
  if (big) {
    // Read and written whole; shown as a note, not handed to the engine.
    QFile file(in.target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    if (action == Action::InsertCode) {
      QCOMPARE(file.size(), bigSize - 1);
      QVERIFY(file.seek(file.size() - 40));
      QVERIFY(file.read(40).contains("<p><b>PAY</b></p></body></html>"));
      QVERIFY(file.seek(0));
    } else {
      QVERIFY(file.size() > bigSize);
    }
    const QByteArray head = file.read(16 * 1024);
    QVERIFY2(head.contains(action == Action::Title        ? "<title>New &amp; Title</title></head>"
                           : action == Action::InsertCode ? "<title>Big"
                                                          : "</head>"),
             head.constData());
    if (action != Action::Title) {
      QVERIFY(shown.wait(20000));
      QCOMPARE(browser_->LocationPath(), QString());
    }
    return;
  }
  const QByteArray after = testfiles::read(in.target);
  QByteArray expected = before;
  switch (action) {
    case Action::InsertCode:
      expected.replace("[BUYBUTTON]", "<b>PAY</b>");
      break;
    case Action::HeadCode:
      expected = beforeHeadEnd(expected, "<meta name=x>");
      break;
    case Action::BackButton:
      // The template is the shipped one; what it holds is checked elsewhere.
      QVERIFY(after.contains("http://back.example/"));
      QVERIFY(after.startsWith(before.left(before.indexOf("</head>"))));
      QVERIFY(after.endsWith(before.mid(before.indexOf("</head>"))));
      return;
    case Action::Title: {
      const qsizetype from = expected.indexOf("<title>");
      expected.remove(from, expected.indexOf("</title>") + 8 - from);
      expected = beforeHeadEnd(expected, "<title>New &amp; Title</title>");
      break;
    }
  }
  QCOMPARE(after, expected);
}

QV_TEST_MAIN(BadInputToolsTest)
#include "bad_input_tools_test.moc"
