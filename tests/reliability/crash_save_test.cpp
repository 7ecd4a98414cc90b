// A save killed at any moment leaves the old page or the new one, whole: a
// child process saving a 100 MB page gets SIGKILL at random moments.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <limits>

#include "crash_page.h"
#include "support/core_test_main.h"
#include "support/test_files.h"

namespace {

// Which version the file holds, or -1 when it is none of the two.
int versionOf(const QString& path, int oldVersion, int newVersion) {
  const QByteArray bytes = testfiles::read(path);
  if (bytes == crashPageVersion(oldVersion)) return oldVersion;
  if (bytes == crashPageVersion(newVersion)) return newVersion;
  return -1;
}

}  // namespace

class CrashSaveTest final : public QObject {
  Q_OBJECT
 private slots:
  void killedSaveLeavesOldOrNewPage();

 private:
  // Starts the child saving version over path; returns once it says "saving".
  void startSave(QProcess& child, const QString& path, int version);
};

void CrashSaveTest::startSave(QProcess& child, const QString& path, int version) {
  child.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/save_child"));
  child.setArguments({path, QString::number(version)});
  child.start();
  QVERIFY2(child.waitForStarted(10000), qPrintable(child.errorString()));
  while (!child.canReadLine()) QVERIFY2(child.waitForReadyRead(30000), "child never began saving");
  QCOMPARE(child.readLine(), QByteArray("saving\n"));
}

void CrashSaveTest::killedSaveLeavesOldOrNewPage() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("sales.htm"));
  testfiles::write(path, crashPageVersion(0));

  // Two saves left alone measure how long a save takes here; the first may
  // be slowed by a cold cache, so the shorter counts.
  QProcess child;
  QElapsedTimer timer;
  qint64 fastestMs = std::numeric_limits<qint64>::max();
  for (const int version : {1, 2}) {
    startSave(child, path, version);
    if (QTest::currentTestFailed()) return;
    timer.start();
    QVERIFY(child.waitForFinished(60000));
    fastestMs = std::min(fastestMs, std::max<qint64>(timer.elapsed(), 1));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(versionOf(path, version - 1, version), version);
  }

  const quint32 seed = QRandomGenerator::global()->generate();
  QRandomGenerator random(seed);
  int current = 2, killedMidSave = 0;
  QStringList moments;
  for (int round = 0; round < 20; ++round) {
    const int next = round + 3;
    // Anywhere in a save, up to its very end (the sync and the rename).
    const int delayMs = int(random.bounded(fastestMs + 1));
    startSave(child, path, next);
    if (QTest::currentTestFailed()) return;
    timer.start();
    if (!child.waitForFinished(delayMs)) {
      child.kill();  // SIGKILL: no handler, no clean-up
      QVERIFY(child.waitForFinished(10000));
      ++killedMidSave;
    } else {
      fastestMs = std::min(fastestMs, std::max<qint64>(timer.elapsed(), 1));
    }
    const int found = versionOf(path, current, next);
    QVERIFY2(found >= 0, qPrintable(QStringLiteral("round %1 (seed %2, %3 ms): torn page")
                                        .arg(round)
                                        .arg(seed)
                                        .arg(delayMs)));
    moments << QStringLiteral("%1ms:%2").arg(delayMs).arg(found == next ? "new" : "old");
    current = found;
  }
  QVERIFY2(killedMidSave > 0, "every save ended before its kill");

  // A kill can leave the save's temporary file behind; it never has the
  // page's own name or a page extension, so it is never listed as a page.
  const QStringList left =
      QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
  QStringList strays = left;
  strays.removeOne(QStringLiteral("sales.htm"));
  for (const QString& stray : strays) {
    QVERIFY2(!stray.endsWith(QStringLiteral(".htm")) && !stray.endsWith(QStringLiteral(".html")),
             qPrintable(stray));
  }
  qInfo("fastest save %lld ms; seed %u; %d of 20 killed mid-save; %lld temporary files left; %s",
        fastestMs, seed, killedMidSave, qlonglong(strays.size()), qPrintable(moments.join(u' ')));
}

QV_CORE_TEST_MAIN(CrashSaveTest)
#include "crash_save_test.moc"
