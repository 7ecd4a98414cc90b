#include "help/save_switch.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>

#include "files/paths.h"
#include "support/test_main.h"

class SaveSwitchTest final : public QObject {
  Q_OBJECT
 private slots:
  void switchPath_data();
  void switchPath();
  void besideThisProgram();
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

QV_TEST_MAIN(SaveSwitchTest)
#include "save_switch_test.moc"
