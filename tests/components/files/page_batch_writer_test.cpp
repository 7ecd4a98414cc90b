// Many pages written together: each page is old or new whatever happens, the
// history holds the old bytes of every page made new, and a page that fails
// leaves the others written.
#include "files/page_batch_writer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "files/history_action.h"
#include "files/history_faults.h"
#include "files/page_history.h"
#include "files/v_file_faults.h"
#include "support/core_test_main.h"
#include "support/test_files.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

using pagebatchwriter::Change;
using pagebatchwriter::Identity;
using Result = pagebatchwriter::Outcome::Result;

class PageBatchWriterTest final : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void writesEveryPageAndKeepsItsHistory();
  void onePageFailsTheOthersAreWritten_data();
  void onePageFailsTheOthersAreWritten();
  void noHistoryCopyAsksFirst();
  void restoresSeveralPagesAtOnce();
  void killedAnywhereEachPageIsOldOrNew();

 private:
  QString page(const QString& name, const QByteArray& bytes);
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<QTemporaryDir> root_;
};

namespace {

// A round number keeps one round's history copies apart from the last one's.
QByteArray oldBytes(int i, int round = 0) {
  return "<p>old page " + QByteArray::number(i) + " of " + QByteArray::number(round) + "</p>\n";
}
QByteArray newBytes(int i, int round = 0) {
  return "<p>new page " + QByteArray::number(i) + " of " + QByteArray::number(round) + "</p>\n" +
         QByteArray(200 + i, 'x');
}

QByteArray keptBytes(const QString& page) {
  const std::vector<history::Version> kept = history::versions(page);
  QByteArray bytes;
  if (kept.empty() || !history::readVersion(page, kept.front(), bytes)) return "<none>";
  return bytes;
}

// How many names the file has (0: none).
int namesOf(const QString& path) {
#ifdef Q_OS_UNIX
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_nlink) : 0;
#else
  return QFileInfo::exists(path) ? 1 : 0;
#endif
}

}  // namespace

void PageBatchWriterTest::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  root_ = std::make_unique<QTemporaryDir>();
  history::setRoot(root_->path());
}

void PageBatchWriterTest::cleanup() {
  history::setWithoutCopyQuestion({});
  history::setFault({});
  vFile::setWriteFault({});
}

QString PageBatchWriterTest::page(const QString& name, const QByteArray& bytes) {
  const QString path = dir_->filePath(name);
  QDir().mkpath(QFileInfo(path).absolutePath());
  testfiles::write(path, bytes);
  return path;
}

void PageBatchWriterTest::writesEveryPageAndKeepsItsHistory() {
  const QString plain = page("a.htm", oldBytes(1));
  const QString secret = page("sub/private.htm", oldBytes(2));
  QFile::setPermissions(secret, QFile::ReadOwner | QFile::WriteOwner);
  const QString target = page("real.htm", oldBytes(3));
  const QString link = dir_->filePath("link.htm");
  QVERIFY(QFile::link(target, link));
  const QString same = page("same.htm", oldBytes(4));
  const QString fresh = dir_->filePath("fresh.htm");

  std::vector<pagebatchwriter::Outcome> out;
  {
    const history::Action action(QStringLiteral("Insert Code"));
    out = pagebatchwriter::write({{plain, newBytes(1), Identity::of(oldBytes(1))},
                                  {secret, newBytes(2), {}},
                                  {link, newBytes(3), Identity::of(oldBytes(3))},
                                  {same, oldBytes(4), {}},
                                  {fresh, newBytes(5), {}}});
  }
  QCOMPARE(out.size(), 5u);
  for (const auto& o : out) QVERIFY2(o.written(), qPrintable(o.why));
  QCOMPARE(testfiles::read(plain), newBytes(1));
  QCOMPARE(testfiles::read(secret), newBytes(2));
  QCOMPARE(int(QFile::permissions(secret) & 0x7077), int(QFile::ReadOwner | QFile::WriteOwner));
  QVERIFY(QFileInfo(link).isSymLink());
  QCOMPARE(testfiles::read(target), newBytes(3));
  QCOMPARE(testfiles::read(fresh), newBytes(5));

  QCOMPARE(keptBytes(plain), oldBytes(1));
  QCOMPARE(keptBytes(secret), oldBytes(2));
  QCOMPARE(keptBytes(target), oldBytes(3));
  QCOMPARE(history::versions(plain).front().action, QStringLiteral("Insert Code"));
  // The old file became the copy: the history's alone, as private as any copy.
  const QString kept = history::folderOf(plain) + u'/' + history::versions(plain).front().id;
  QCOMPARE(int(QFile::permissions(kept + ".bytes") & 0x7077),
           int(QFile::ReadOwner | QFile::WriteOwner));
  QCOMPARE(namesOf(plain), 1);
  QVERIFY(history::versions(same).empty());  // nothing replaced, nothing kept
  QVERIFY(history::versions(fresh).empty());
  // No temporary file is left beside the pages.
  QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden),
           (QStringList{"a.htm", "fresh.htm", "link.htm", "real.htm", "same.htm"}));
}

void PageBatchWriterTest::onePageFailsTheOthersAreWritten_data() {
  QTest::addColumn<QString>("how");
  QTest::addColumn<int>("result");
  QTest::addColumn<QString>("why");
  QTest::newRow("read-only page") << "read-only" << int(Result::Failed) << "the file is read-only";
  QTest::newRow("changed since read")
      << "changed" << int(Result::Changed) << "it changed since it was read";
  QTest::newRow("gone since read")
      << "gone" << int(Result::Changed) << "it changed since it was read";
  QTest::newRow("a folder") << "folder" << int(Result::Failed) << "it is a folder, not a file";
  QTest::newRow("twice in the batch")
      << "twice" << int(Result::Failed) << "it is in the batch twice";
  QTest::newRow("disk full while writing")
      << "write" << int(Result::Failed) << "no space left on the device";
  QTest::newRow("rename refused") << "commit" << int(Result::Failed)
                                  << "the device reported an input/output error";
}

void PageBatchWriterTest::onePageFailsTheOthersAreWritten() {
  QFETCH(QString, how);
  QFETCH(int, result);
  QFETCH(QString, why);
  std::vector<Change> changes;
  QStringList pages;
  for (int i = 0; i < 5; ++i) {
    pages << page(QStringLiteral("p%1.htm").arg(i), oldBytes(i));
    changes.push_back({pages.back(), newBytes(i), Identity::of(oldBytes(i))});
  }
  // The third page is the one that fails.
  int steps = 0;
  const auto nth = [&steps](vFile::WriteStep at, vFile::WriteStep step, const char* why) {
    return at == step && ++steps == 3 ? QString::fromLatin1(why) : QString();
  };
  std::unique_ptr<vFile::ScopedWriteFault> fault;
  if (how == u"read-only") QFile::setPermissions(pages[2], QFile::ReadOwner);
  if (how == u"changed") testfiles::write(pages[2], "edited by another program");
  if (how == u"gone") QFile::remove(pages[2]);
  if (how == u"folder") changes[2].path = dir_->path();
  if (how == u"twice") changes[2].path = pages[0];
  if (how == u"write")
    fault = std::make_unique<vFile::ScopedWriteFault>([&](vFile::WriteStep at) {
      return nth(at, vFile::WriteStep::Write, "no space left on the device");
    });
  if (how == u"commit")
    fault = std::make_unique<vFile::ScopedWriteFault>([&](vFile::WriteStep at) {
      return nth(at, vFile::WriteStep::Commit, "the device reported an input/output error");
    });
  const QByteArray before = QFile::exists(pages[2]) ? testfiles::read(pages[2]) : QByteArray();

  const auto out = pagebatchwriter::write(changes);
  QFile::setPermissions(pages[2], QFile::ReadOwner | QFile::WriteOwner);
  QCOMPARE(int(out[2].result), result);
  QCOMPARE(out[2].why, why);
  QCOMPARE(QFile::exists(pages[2]), how != u"gone");
  if (how != u"gone") QCOMPARE(testfiles::read(pages[2]), before);
  // No history copy is left that is the page itself, to change with it.
  if (how != u"gone" && how != u"folder") QCOMPARE(namesOf(pages[2]), 1);
  for (int i : {0, 1, 3, 4}) {
    QVERIFY2(out[i].written(), qPrintable(out[i].why));
    QCOMPARE(testfiles::read(pages[i]), newBytes(i));
  }
  // Nothing half-written is left beside the pages.
  for (const QString& name : QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden))
    QVERIFY2(name.endsWith(u".htm"), qPrintable(name));
}

void PageBatchWriterTest::noHistoryCopyAsksFirst() {
  const QString a = page("a.htm", oldBytes(1));
  const QString b = page("b.htm", oldBytes(2));
  const history::ScopedFault full([](history::Step step) {
    return step == history::Step::Index ? QStringLiteral("no space left on the device") : QString();
  });
  QStringList asked;
  history::setWithoutCopyQuestion([&](const QString& page, const QString& why) {
    asked << QFileInfo(page).fileName() + QStringLiteral(": ") + why;
    return page == b;
  });
  const auto out = pagebatchwriter::write({{a, newBytes(1), {}}, {b, newBytes(2), {}}});
  QCOMPARE(asked, (QStringList{"a.htm: no space left on the device",
                               "b.htm: no space left on the device"}));
  QVERIFY(!out[0].written());
  QCOMPARE(out[0].why, QStringLiteral("it was not saved without a history copy"));
  QCOMPARE(testfiles::read(a), oldBytes(1));
  QVERIFY(out[1].written());
  QCOMPARE(testfiles::read(b), newBytes(2));
  QVERIFY(history::versions(a).empty());
  QVERIFY(history::versions(b).empty());
}

void PageBatchWriterTest::restoresSeveralPagesAtOnce() {
  const QString a = page("a.htm", oldBytes(1));
  const QString b = page("b.htm", oldBytes(2));
  const QString locked = page("c.htm", oldBytes(3));
  for (const auto& o : pagebatchwriter::write(
           {{a, newBytes(1), {}}, {b, newBytes(2), {}}, {locked, newBytes(3), {}}}))
    QVERIFY(o.written());
  QFile::setPermissions(locked, QFile::ReadOwner);
  const std::vector<Status> restored =
      history::restore({{a, history::versions(a).front()},
                        {b, history::versions(b).front()},
                        {locked, history::versions(locked).front()}});
  QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);
  QVERIFY(restored[0] && restored[1]);
  QCOMPARE(restored[2].why(), QStringLiteral("the file is read-only"));
  QCOMPARE(testfiles::read(a), oldBytes(1));
  QCOMPARE(testfiles::read(b), oldBytes(2));
  QCOMPARE(testfiles::read(locked), newBytes(3));
  // Each restore is kept too, so it can be taken back.
  QCOMPARE(history::versions(a).front().action, QStringLiteral("Restore"));
  QCOMPARE(keptBytes(b), newBytes(2));
}

// A child process writes a batch of 100 pages and is killed at a random moment:
// every page holds its old bytes or its new ones, and each new one has its old
// bytes in the history.
void PageBatchWriterTest::killedAnywhereEachPageIsOldOrNew() {
#ifndef Q_OS_UNIX
  QSKIP("needs fork and SIGKILL");
#else
  constexpr int kPages = 100;
  constexpr int kRounds = 20;
  QStringList pages;
  for (int i = 0; i < kPages; ++i) pages << dir_->filePath(QStringLiteral("p%1.htm").arg(i));
  const auto fresh = [&](int round) {
    for (int i = 0; i < kPages; ++i) testfiles::write(pages[i], oldBytes(i, round));
  };
  const auto batch = [&](int round) {
    std::vector<Change> changes;
    for (int i = 0; i < kPages; ++i) changes.push_back({pages[i], newBytes(i, round), {}});
    return changes;
  };
  // How long an uninterrupted batch takes once the pages' history folders
  // are there, so the kills fall all across one.
  qint64 span = 0;
  for (int round : {-2, -1}) {
    fresh(round);
    QElapsedTimer timer;
    timer.start();
    for (const auto& o : pagebatchwriter::write(batch(round))) QVERIFY(o.written());
    span = std::max<qint64>(timer.nsecsElapsed() / 1000, 1000);
  }

  int oldSeen = 0, newSeen = 0, mixed = 0;
  qint64 lo = 0, hi = span;
  for (int round = 0; round < kRounds; ++round) {
    fresh(round);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
      pagebatchwriter::write(batch(round));
      ::_exit(0);
    }
    // A random moment between the latest kill that found every page old and
    // the earliest that found every page new: the time a batch takes varies
    // with the disk's other work, so the window follows what the kills found.
    const qint64 delay = lo + QRandomGenerator::global()->bounded(std::max<qint64>(hi - lo, 1));
    ::usleep(useconds_t(delay));
    ::kill(child, SIGKILL);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    int news = 0;
    for (int i = 0; i < kPages; ++i) {
      const QByteArray now = testfiles::read(pages[i]);
      QVERIFY2(now == oldBytes(i, round) || now == newBytes(i, round),
               qPrintable(QStringLiteral("round %1, page %2 is torn").arg(round).arg(i)));
      if (now == newBytes(i, round)) {
        ++news;
        QCOMPARE(keptBytes(pages[i]), oldBytes(i, round));
      }
    }
    (news == 0 ? oldSeen : news == kPages ? newSeen : mixed)++;
    if (news == 0) {
      lo = delay;
      hi = std::max(hi, lo * 2);
    }
    if (news == kPages) {
      hi = delay;
      lo = std::min(lo, hi / 2);
    }
  }
  qInfo("%d rounds killed before any page changed, %d after all, %d in between", oldSeen, newSeen,
        mixed);
#endif
}

QV_CORE_TEST_MAIN(PageBatchWriterTest)
#include "page_batch_writer_test.moc"
