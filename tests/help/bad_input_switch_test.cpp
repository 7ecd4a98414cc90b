// The switch file on every kind of strange file in its place: turning the
// switch on or off through the Quick Help window either works or says why,
// and never touches anything but the switch file itself.
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "help/quick_help.h"
#include "help/save_switch.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "support/write_denied.h"

namespace {

void removeSwitch() {
  QDir(saveswitch::path()).removeRecursively();
  QFile::remove(saveswitch::path());
}

}  // namespace

class BadInputSwitchTest final : public QObject {
  Q_OBJECT
 private slots:
  void init() { removeSwitch(); }
  void cleanup() { removeSwitch(); }
  void switchFile_data();
  void switchFile();
};

void BadInputSwitchTest::switchFile_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<bool>("on");          // the box as the window closes
  QTest::addColumn<QString>("message");  // what the message starts with, if any
  QTest::addColumn<bool>("switchOn");    // afterwards
  const QStringList kinds{QStringLiteral("missing file"),
                          QStringLiteral("folder"),
                          QStringLiteral("read-only file"),
                          QStringLiteral("read-only folder"),
                          QStringLiteral("symbolic link"),
                          QStringLiteral("0-byte file"),
                          QStringLiteral("binary file"),
                          QStringLiteral("invalid UTF-8"),
                          QStringLiteral("200 MB file"),
                          QStringLiteral("path with spaces, quotes and non-ASCII"),
                          QStringLiteral("deleted between listed and used")};
  for (const QString& kind : kinds) {
    for (const bool on : {true, false}) {
      QString message;
      bool switchOn = on;
      if (kind == u"folder") {
        // A folder of that name is not the switch, and is never deleted.
        if (on) message = QStringLiteral("Could not save save.alt: it is a folder, not a file.");
        switchOn = false;
      } else if (kind == u"read-only folder") {
        message = on ? QStringLiteral(
                           "Could not save save.alt: the program's folder is read-only (only an "
                           "administrator can change this switch).")
                     : QStringLiteral(
                           "Could not delete save.alt: the program's folder is read-only (only an "
                           "administrator can change this switch).");
        switchOn = !on;  // made off, stays off; made on, stays on
      }
      QTest::addRow("%s, %s", qPrintable(kind), on ? "turned on" : "turned off")
          << kind << on << message << switchOn;
    }
  }
}

void BadInputSwitchTest::switchFile() {
  QFETCH(QString, kind);
  QFETCH(bool, on);
  QFETCH(QString, message);
  QFETCH(bool, switchOn);
  QTemporaryDir dir;
  const bool weirdPath = kind.startsWith(u"path with");
  const QString file =
      weirdPath ? dir.filePath(QStringLiteral("my \"best\" prögram/save.alt")) : saveswitch::path();
  QDir().mkpath(QFileInfo(file).path());
  // A file of the user's beside it: only a link named save.alt reaches it.
  const QString other = dir.filePath(QStringLiteral("someone's page.htm"));
  testfiles::write(other, "<p>keep</p>");

  QByteArray before;
  if (kind == u"folder") {
    QDir().mkpath(file + QStringLiteral("/inside"));
  } else if (kind == u"symbolic link") {
    QFile::link(other, file);
  } else if (kind == u"0-byte file") {
    testfiles::write(file, {});
  } else if (kind == u"binary file") {
    testfiles::write(file, QByteArray("\x89PNG\0\xFF\xFE", 7));
  } else if (kind == u"invalid UTF-8") {
    testfiles::write(file, "caf\xE9 \xFF");
  } else if (kind == u"200 MB file") {
    QFile big(file);
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(200LL * 1024 * 1024));
  } else if (kind == u"read-only file") {
    testfiles::write(file, "Text1");
    QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
  } else if (kind != u"missing file") {
    testfiles::write(file, "Text1");
  }
  if (kind == u"read-only folder") {
    if (on) QFile::remove(file);  // turning on what is off, and off what is on
  }

  MsgBoxRecorder rec;
  if (weirdPath) {
    // The window always passes the file beside the program; the operations
    // it uses are the ones that must cope with such a path.
    const Status status = on ? saveswitch::turnOn(TextBuffer{QStringLiteral("Text1")}, file)
                             : saveswitch::turnOff(file);
    QVERIFY2(status.ok(), qPrintable(status.why()));
  } else {
    QPointer<frmQuickHelp> w = new frmQuickHelp;
    w->show();
    if (kind == u"deleted between listed and used") QVERIFY(QFile::remove(file));
    w->findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(on);
    std::optional<WriteDenied> denied;
    if (kind == u"read-only folder") {
      denied.emplace(QStringList{QFileInfo(file).path()});
      if (!denied->active()) QSKIP("cannot take write access away from this process");
    }
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    denied.reset();
    QTRY_VERIFY(w.isNull());
  }
  if (message.isEmpty()) {
    QVERIFY(rec.calls.isEmpty());
  } else {
    QCOMPARE(rec.calls.size(), 1);
    QVERIFY2(rec.calls[0].prompt.startsWith(message), qPrintable(rec.calls[0].prompt));
    QCOMPARE(rec.calls[0].title, QStringLiteral("File Error"));
  }
  QCOMPARE(QFileInfo(file).isFile(), switchOn);
  QCOMPARE(QFileInfo(file).isDir(), kind == u"folder");
  if (kind == u"symbolic link") {
    // Off takes the link away, not the file it points to; on keeps the link
    // (and, as every switch file, rewrites what it names).
    QVERIFY(QFileInfo(other).isFile());
    QCOMPARE(QFileInfo(file).isSymLink(), on);
    QCOMPARE(testfiles::read(other), on ? QByteArray("Text1") : QByteArray("<p>keep</p>"));
  } else {
    QCOMPARE(testfiles::read(other), QByteArray("<p>keep</p>"));
  }
}

QV_TEST_MAIN(BadInputSwitchTest)
#include "bad_input_switch_test.moc"
