// A recorded save killed at any moment leaves the old page or the new one, and
// a history that holds the old bytes whole or no entry for them: a child
// process saving a 20 MB page gets SIGKILL at random moments.
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <limits>

#include "crash_page.h"
#include "files/page_history.h"
#include "support/core_test_main.h"
#include "support/test_files.h"

namespace {

QByteArray version(int n) { return crashPageVersion(n, kHistoryCrashPageSize); }

// Which version the bytes are (by their mark, then whole), or -1 when none.
int versionIn(const QByteArray& bytes) {
  const QByteArray head = bytes.left(32);
  const int from = head.indexOf("version ") + 8, to = head.indexOf(" -->");
  if (from < 8 || to < from) return -1;
  bool ok = false;
  const int n = head.mid(from, to - from).toInt(&ok);
  return ok && bytes == version(n) ? n : -1;
}

struct Entry final {
  QString name;
  int version = -1;  // what its bytes are; -1 when they are not what the index says
};

// Every committed entry of the page's history, read by hand: the index, then
// the bytes it points to, checked against its size and checksum.
QList<Entry> entriesOf(const QString& page) {
  QList<Entry> out;
  const QDir folder(history::folderOf(page));
  for (const QString& name : folder.entryList({QStringLiteral("*.json")}, QDir::Files)) {
    const QJsonObject index =
        QJsonDocument::fromJson(testfiles::read(folder.filePath(name))).object();
    const QByteArray bytes = testfiles::read(folder.filePath(name.chopped(5) + ".bytes"));
    Entry e{name};
    if (bytes.size() == index.value(QStringLiteral("size")).toInteger() &&
        QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() ==
            index.value(QStringLiteral("sha256")).toString().toLatin1())
      e.version = versionIn(bytes);
    out << e;
  }
  return out;
}

}  // namespace

class HistoryCrashTest final : public QObject {
  Q_OBJECT
 private slots:
  void killedRecordedSaveLeavesWholeEntries();

 private:
  void startSave(QProcess& child, int version);
  QString page_;
  QString root_;
};

void HistoryCrashTest::startSave(QProcess& child, int version) {
  child.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/history_child"));
  child.setArguments({page_, QString::number(version), root_});
  child.start();
  QVERIFY2(child.waitForStarted(10000), qPrintable(child.errorString()));
  while (!child.canReadLine()) QVERIFY2(child.waitForReadyRead(30000), "child never began saving");
  QCOMPARE(child.readLine(), QByteArray("saving\n"));
}

void HistoryCrashTest::killedRecordedSaveLeavesWholeEntries() {
  QTemporaryDir dir;
  page_ = dir.filePath(QStringLiteral("sales.htm"));
  root_ = dir.filePath(QStringLiteral("history"));
  history::setRoot(root_);  // for folderOf
  testfiles::write(page_, version(0));

  QProcess child;
  QElapsedTimer timer;
  qint64 fastestMs = std::numeric_limits<qint64>::max();
  for (const int v : {1, 2}) {
    startSave(child, v);
    if (QTest::currentTestFailed()) return;
    timer.start();
    QVERIFY(child.waitForFinished(60000));
    fastestMs = std::min(fastestMs, std::max<qint64>(timer.elapsed(), 1));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(versionIn(testfiles::read(page_)), v);
  }

  const quint32 seed = QRandomGenerator::global()->generate();
  QRandomGenerator random(seed);
  QSet<int> onPageOnce{0, 1, 2};
  int current = 2, killedMidSave = 0;
  QStringList moments;
  constexpr int kRounds = 15;
  for (int round = 0; round < kRounds; ++round) {
    const int next = round + 3;
    const int delayMs = int(random.bounded(fastestMs + 1));
    startSave(child, next);
    if (QTest::currentTestFailed()) return;
    timer.start();
    if (!child.waitForFinished(delayMs)) {
      child.kill();  // SIGKILL: no handler, no clean-up
      QVERIFY(child.waitForFinished(10000));
      ++killedMidSave;
    } else {
      fastestMs = std::min(fastestMs, std::max<qint64>(timer.elapsed(), 1));
    }
    const QString where =
        QStringLiteral("round %1 (seed %2, %3 ms)").arg(round).arg(seed).arg(delayMs);
    const int found = versionIn(testfiles::read(page_));
    QVERIFY2(found == current || found == next, qPrintable(where + ": torn page"));

    // Every entry holds, whole, a version the page once had; a page that
    // became new has its old bytes kept.
    bool oldKept = false;
    for (const Entry& e : entriesOf(page_)) {
      QVERIFY2(
          e.version >= 0 && onPageOnce.contains(e.version),
          qPrintable(where + QStringLiteral(": entry %1 is not a whole old page").arg(e.name)));
      oldKept = oldKept || e.version == current;
    }
    if (found == next) QVERIFY2(oldKept, qPrintable(where + ": new page, old bytes not kept"));
    // What the history offers is what it holds.
    for (const history::Version& v : history::versions(page_)) {
      QByteArray bytes;
      QVERIFY(history::readVersion(page_, v, bytes));
      QVERIFY(onPageOnce.contains(versionIn(bytes)));
    }
    moments << QStringLiteral("%1ms:%2").arg(delayMs).arg(found == next ? "new" : "old");
    onPageOnce.insert(found);
    current = found;
  }
  QVERIFY2(killedMidSave > 0, "every save ended before its kill");
  qInfo("fastest recorded save %lld ms; seed %u; %d of %d killed mid-save; %lld entries; %s",
        fastestMs, seed, killedMidSave, kRounds, qlonglong(entriesOf(page_).size()),
        qPrintable(moments.join(u' ')));
}

QV_CORE_TEST_MAIN(HistoryCrashTest)
#include "history_crash_test.moc"
