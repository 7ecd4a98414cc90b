#include "help/save_switch.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "components/paths.h"
#include "support/test_files.h"
#include "support/test_main.h"

class SaveSwitchTest final : public QObject {
  Q_OBJECT
 private slots:
  void switchPath_data();
  void switchPath();
  void besideThisProgram();
  void turnOnAndOff_data();
  void turnOnAndOff();
};

void SaveSwitchTest::switchPath_data() {
  QTest::addColumn<QString>("folder");
  QTest::addColumn<QChar>("separator");
  QTest::addColumn<QString>("expected");
  const QChar bs = QLatin1Char('\\');
  QTest::newRow("drive root") << "C:\\" << bs << "C:\\save.alt";
  QTest::newRow("folder") << "C:\\Program Files\\Quorvane" << bs
                          << "C:\\Program Files\\Quorvane\\save.alt";
  QTest::newRow("network folder keeps both leading backslashes")
      << "\\\\server\\tools\\Quorvane" << bs << "\\\\server\\tools\\Quorvane\\save.alt";
  QTest::newRow("network share root")
      << "\\\\server\\tools\\" << bs << "\\\\server\\tools\\save.alt";
  QTest::newRow("root folder") << "/" << QChar(QLatin1Char('/')) << "/save.alt";
  QTest::newRow("plain folder") << "/opt/quorvane" << QChar(QLatin1Char('/'))
                                << "/opt/quorvane/save.alt";
}

void SaveSwitchTest::switchPath() {
  QFETCH(QString, folder);
  QFETCH(QChar, separator);
  QFETCH(QString, expected);
  QCOMPARE(paths::joinOneSeparator(folder, QStringLiteral("save.alt"), separator), expected);
}

void SaveSwitchTest::besideThisProgram() {
  QCOMPARE(saveswitch::path(),
           QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + "/save.alt"));
}

void SaveSwitchTest::turnOnAndOff_data() {
  QTest::addColumn<QString>("before");  // "", "file", "empty", "folder"
  QTest::addColumn<bool>("on");
  QTest::addColumn<bool>("ok");
  QTest::addColumn<QString>("after");  // "", "Text1", "old", "folder"

  QTest::newRow("on: file created") << "" << true << true << "Text1";
  QTest::newRow("on: file rewritten") << "file" << true << true << "Text1";
  QTest::newRow("on: empty file rewritten") << "empty" << true << true << "Text1";
  QTest::newRow("on: a folder of that name is refused") << "folder" << true << false << "folder";
  QTest::newRow("off: file deleted") << "file" << false << true << "";
  QTest::newRow("off: empty file deleted") << "empty" << false << true << "";
  QTest::newRow("off: nothing there, nothing done") << "" << false << true << "";
  QTest::newRow("off: a folder of that name is never deleted")
      << "folder" << false << true << "folder";
}

void SaveSwitchTest::turnOnAndOff() {
  QFETCH(QString, before);
  QFETCH(bool, on);
  QFETCH(bool, ok);
  QFETCH(QString, after);

  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("save.alt"));
  if (before == u"file") testfiles::write(file, "old");
  if (before == u"empty") testfiles::write(file, "");
  if (before == u"folder") {
    QDir(dir.path()).mkpath(QStringLiteral("save.alt/inside"));
  }

  const Status status = on ? saveswitch::turnOn({QStringLiteral("Text1"), TextEncoding::Utf8}, file)
                           : saveswitch::turnOff(file);
  QCOMPARE(status.ok(), ok);
  if (!ok) QVERIFY(!status.why().isEmpty());
  if (after.isEmpty()) {
    QVERIFY(!QFileInfo::exists(file));
  } else if (after == u"folder") {
    QVERIFY(QFileInfo(file + "/inside").isDir());
  } else {
    QCOMPARE(testfiles::read(file), after.toUtf8());
  }
}

QV_TEST_MAIN(SaveSwitchTest)
#include "save_switch_test.moc"
