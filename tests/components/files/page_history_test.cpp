// The history every page write keeps: what is recorded, under which page, how
// it is bounded, and what a write does when no copy can be kept.
#include "files/page_history.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include "files/file_stamp.h"
#include "files/history_action.h"
#include "files/history_faults.h"
#include "files/history_limits.h"
#include "files/page_file.h"
#include "files/v_file.h"
#include "files/v_file_faults.h"
#include "support/core_test_main.h"
#include "support/test_files.h"

namespace {

QByteArray bytesOf(const QString& page, const history::Version& v) {
  QByteArray bytes;
  if (!history::readVersion(page, v, bytes)) return "<unreadable>";
  return bytes;
}

QStringList actionsOf(const QString& page) {
  QStringList out;
  for (const history::Version& v : history::versions(page)) out << v.action;
  return out;
}

// Every file under the root that is not a whole entry (a temporary file, bytes without an index).
QStringList leftovers(const QString& root) {
  QStringList out;
  QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString name = it.next();
    static const QRegularExpression temporary(QStringLiteral("\\.(bytes|json)\\.[A-Za-z0-9]{6}$"));
    if (name.endsWith(QStringLiteral(".tmp")) || temporary.match(name).hasMatch() ||
        (name.endsWith(QStringLiteral(".bytes")) &&
         !QFile::exists(name.chopped(6) + QStringLiteral(".json"))))
      out << name;
  }
  return out;
}

QByteArray sha256(const QByteArray& bytes) {
  return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

}  // namespace

class PageHistoryTest final : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void keepsTheReplacedBytes();
  void nothingToKeep();
  void keyedByCanonicalPath();
  void boundedPerPage();
  void boundedInAll();
  void copyCannotBeKept_data();
  void copyCannotBeKept();
  void historyFolderCannotBeMade();
  void pageLargerThanFreeSpace();
  void damagedEntriesAreNotOffered();
  void restoreBringsBackExactBytesAndCanBeUndone();
  void crashLeftoversGoWhenSurelyAbandoned();
  void oldFileIsTheCopyOnlyWhenNothingElseNamesIt_data();
  void oldFileIsTheCopyOnlyWhenNothingElseNamesIt();
  void linkedCopyGoesWhenThePageIsNotReplaced();
  void knownChecksumOnlyWhileTheFileIsAsRead_data();
  void knownChecksumOnlyWhileTheFileIsAsRead();
  void linkJustMadeIsNoLeftover();

 private:
  std::unique_ptr<QTemporaryDir> pages_;
  std::unique_ptr<QTemporaryDir> root_;
  QString page_;
};

void PageHistoryTest::init() {
  pages_ = std::make_unique<QTemporaryDir>();
  root_ = std::make_unique<QTemporaryDir>();
  history::setRoot(root_->path());
  page_ = pages_->filePath(QStringLiteral("sales.htm"));
}

void PageHistoryTest::cleanup() {
  history::setLimits({});
  history::setWithoutCopyQuestion({});
  history::setFault({});
}

void PageHistoryTest::keepsTheReplacedBytes() {
  testfiles::write(page_, "v0 <b>original</b>\r\n");
  QVERIFY(pagefile::save("v1", page_));
  {
    const history::Action action(QStringLiteral("Insert Code"));
    QVERIFY(pagefile::save("v2 longer", page_));
    {
      const history::Action inner(QStringLiteral("Head Code"));
      QVERIFY(pagefile::save("v3", page_));
    }
    QVERIFY(pagefile::save("v4", page_));
  }
  const std::vector<history::Version> kept = history::versions(page_);
  QCOMPARE(actionsOf(page_),
           (QStringList{"Insert Code", "Head Code", "Insert Code", "Edit"}));  // newest first
  QCOMPARE(bytesOf(page_, kept[3]), QByteArray("v0 <b>original</b>\r\n"));
  QCOMPARE(bytesOf(page_, kept[0]), QByteArray("v3"));
  QCOMPARE(kept[1].size, 9);
  QCOMPARE(kept[3].sha256,
           QCryptographicHash::hash("v0 <b>original</b>\r\n", QCryptographicHash::Sha256).toHex());
  // A copy longer than one piece of a read is listed: its bytes check out whole.
  QVERIFY(pagefile::save(QByteArray(3 << 20, 'a'), page_));
  QVERIFY(pagefile::save("v5", page_));
  QCOMPARE(bytesOf(page_, history::versions(page_).at(0)), QByteArray(3 << 20, 'a'));
  QVERIFY(kept[3].original);
  QVERIFY(!kept[0].original);
  QVERIFY(kept[0].time >= kept[3].time);
  QVERIFY(kept[0].time.secsTo(QDateTime::currentDateTimeUtc()) < 60);
  // Never beside the page.
  QCOMPARE(QDir(pages_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"sales.htm"});
  QVERIFY(history::folderOf(page_).startsWith(root_->path()));
  // Copies of a page are the user's alone.
  const QString folder = history::folderOf(page_);
  QCOMPARE(QFile::permissions(folder) & 0x7077,
           QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  for (const QString& name : QDir(folder).entryList(QDir::Files))
    QCOMPARE(QFile::permissions(QDir(folder).filePath(name)) & 0x7077,
             QFile::ReadOwner | QFile::WriteOwner);
}

void PageHistoryTest::nothingToKeep() {
  // A new file replaces nothing.
  QVERIFY(pagefile::save("first", page_));
  QVERIFY(history::versions(page_).empty());
  // The same bytes again change nothing.
  QVERIFY(pagefile::save("first", page_));
  QVERIFY(history::versions(page_).empty());
  // A write that failed after its copy was kept, tried again, keeps it once.
  {
    vFile::ScopedWriteFault full([](vFile::WriteStep s) {
      return s == vFile::WriteStep::Write ? QStringLiteral("no space left on the device")
                                          : QString();
    });
    QVERIFY(!pagefile::save("second", page_));
  }
  QVERIFY(pagefile::save("second", page_));
  QCOMPARE(history::versions(page_).size(), 1u);
  QCOMPARE(testfiles::read(page_), QByteArray("second"));
  // Not a page: the switch file and the like keep no history.
  {
    const history::Unrecorded notAPage;
    QVERIFY(pagefile::save("third", page_));
  }
  QCOMPARE(history::versions(page_).size(), 1u);
  // No folder chosen: nothing recorded anywhere.
  history::setRoot({});
  QVERIFY(pagefile::save("fourth", page_));
  history::setRoot(root_->path());
  QCOMPARE(history::versions(page_).size(), 1u);
}

void PageHistoryTest::keyedByCanonicalPath() {
  const QString other = pages_->filePath(QStringLiteral("other/sales.htm"));
  QVERIFY(QDir(pages_->path()).mkdir(QStringLiteral("other")));
  testfiles::write(page_, "here 0");
  testfiles::write(other, "there 0");
  QVERIFY(pagefile::save("here 1", page_));
  QVERIFY(pagefile::save("there 1", other));
  // Same name, different folders: never mixed.
  QCOMPARE(history::versions(page_).size(), 1u);
  QCOMPARE(bytesOf(page_, history::versions(page_)[0]), QByteArray("here 0"));
  QCOMPARE(bytesOf(other, history::versions(other)[0]), QByteArray("there 0"));

  // A link to the page and a path with ".." are the page itself.
  const QString link = pages_->filePath(QStringLiteral("link.htm"));
  QVERIFY(QFile::link(page_, link));
  QVERIFY(pagefile::save("here 2", link));
  QCOMPARE(history::versions(page_).size(), 2u);
  QCOMPARE(history::versions(pages_->filePath(QStringLiteral("other/../sales.htm"))).size(), 2u);

  // Renamed, it starts a history of its own.
  const QString renamed = pages_->filePath(QStringLiteral("renamed.htm"));
  QVERIFY(QFile::rename(page_, renamed));
  QVERIFY(history::versions(renamed).empty());
  QVERIFY(pagefile::save("here 3", renamed));
  QCOMPARE(history::versions(renamed).size(), 1u);
  QCOMPARE(bytesOf(renamed, history::versions(renamed)[0]), QByteArray("here 2"));
}

void PageHistoryTest::boundedPerPage() {
  history::setLimits({3, qint64(1) << 30});
  testfiles::write(page_, "version 0");
  for (int i = 1; i <= 10; ++i) QVERIFY(pagefile::save("version " + QByteArray::number(i), page_));
  QByteArrayList kept;
  for (const history::Version& v : history::versions(page_)) kept << bytesOf(page_, v);
  // The original, and the newest three.
  QCOMPARE(kept, (QByteArrayList{"version 9", "version 8", "version 7", "version 0"}));
  QVERIFY(history::versions(page_).back().original);
  QVERIFY(leftovers(root_->path()).isEmpty());
}

void PageHistoryTest::boundedInAll() {
  // Room for about six 1000-byte versions in all.
  history::setLimits({50, 6500});
  const QString other = pages_->filePath(QStringLiteral("other.htm"));
  const auto version = [](char c) { return QByteArray(1000, c); };
  testfiles::write(page_, version('a'));
  testfiles::write(other, version('A'));
  QVERIFY(pagefile::save(version('b'), page_));  // keeps a (original)
  QVERIFY(pagefile::save(version('B'), other));  // keeps A (original)
  QVERIFY(pagefile::save(version('c'), page_));  // keeps b
  QVERIFY(pagefile::save(version('C'), other));  // keeps B
  QVERIFY(pagefile::save(version('d'), page_));  // keeps c
  QVERIFY(pagefile::save(version('e'), page_));  // keeps d
  QVERIFY(pagefile::save(version('D'), other));  // keeps C: 7000, b (oldest) goes
  const auto kept = [](const QString& p) {
    QByteArray firsts;
    for (const history::Version& v : history::versions(p)) firsts += bytesOf(p, v).left(1);
    return firsts;
  };
  QCOMPARE(kept(page_), QByteArray("dca"));
  QCOMPARE(kept(other), QByteArray("CBA"));

  // A page's versions are dropped before an original, whatever its age; the
  // version just kept stays even when it alone passes the limit.
  history::setLimits({50, 1500});
  QVERIFY(pagefile::save(version('E'), other));  // keeps D
  QCOMPARE(kept(page_), QByteArray("a"));
  QCOMPARE(kept(other), QByteArray("DA"));
}

void PageHistoryTest::copyCannotBeKept_data() {
  QTest::addColumn<int>("step");
  QTest::addColumn<int>("answer");  // -1: no question installed, 1: yes, 0: no
  QTest::addColumn<bool>("written");
  QTest::addColumn<QString>("reason");
  const int data = int(history::Step::Data), folder = int(history::Step::Folder),
            index = int(history::Step::Index), yes = 1, no = 0;
  const QString full = QStringLiteral("no history copy could be kept: no space left on the device");
  const QString declined = QStringLiteral("it was not saved without a history copy");
  QTest::newRow("disk full, nobody to ask") << data << -1 << false << full;
  QTest::newRow("disk full, user says yes") << data << yes << true << QString();
  QTest::newRow("disk full, user says no") << data << no << false << declined;
  QTest::newRow("folder refused, user says no") << folder << no << false << declined;
  QTest::newRow("index cut short, user says yes") << index << yes << true << QString();
  QTest::newRow("index cut short, user says no") << index << no << false << declined;
}

void PageHistoryTest::copyCannotBeKept() {
  QFETCH(int, step);
  QFETCH(int, answer);
  QFETCH(bool, written);
  QFETCH(QString, reason);
  testfiles::write(page_, "before");
  QVERIFY(pagefile::save("kept", page_));  // one whole entry already there
  QStringList asked;
  if (answer >= 0)
    history::setWithoutCopyQuestion([&](const QString& page, const QString& why) {
      asked << page + u'|' + why;
      return answer == 1;
    });
  const history::ScopedFault fault([step](history::Step s) {
    return int(s) == step ? QStringLiteral("no space left on the device") : QString();
  });
  const Status saved = pagefile::save("after", page_);
  QCOMPARE(saved.ok(), written);
  QCOMPARE(saved.why(), reason);
  QCOMPARE(testfiles::read(page_), written ? QByteArray("after") : QByteArray("kept"));
  if (answer >= 0) QCOMPARE(asked, QStringList{page_ + u'|' + "no space left on the device"});
  // Only the earlier entry; nothing half-written left behind.
  QCOMPARE(history::versions(page_).size(), 1u);
  QVERIFY2(leftovers(root_->path()).isEmpty(), qPrintable(leftovers(root_->path()).join(u' ')));
}

void PageHistoryTest::historyFolderCannotBeMade() {
  // A file where the folder should be: a real failure, no seam.
  const QString blocked = root_->filePath(QStringLiteral("blocked"));
  testfiles::write(blocked, "not a folder");
  history::setRoot(blocked);
  testfiles::write(page_, "before");
  QString why;
  history::setWithoutCopyQuestion([&](const QString&, const QString& reason) {
    why = reason;
    return false;
  });
  QVERIFY(!pagefile::save("after", page_));
  QCOMPARE(testfiles::read(page_), QByteArray("before"));
  QVERIFY2(why.startsWith(QStringLiteral("the history folder")), qPrintable(why));
}

void PageHistoryTest::pageLargerThanFreeSpace() {
  // A real full disk: a small memory file system holds the history.
  QTemporaryDir mountPoint;
  QProcess mount;
  mount.start(QStringLiteral("mount"),
              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
               QStringLiteral("size=1m"), QStringLiteral("tmpfs"), mountPoint.path()});
  if (!mount.waitForFinished(10000) || mount.exitStatus() != QProcess::NormalExit ||
      mount.exitCode() != 0)
    QSKIP("cannot mount a small file system here (needs root and mount rights)");
  const auto unmount =
      qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {mountPoint.path()}); });
  history::setRoot(mountPoint.path());
  const QByteArray big(3 << 20, 'x');
  testfiles::write(page_, big);
  int asked = 0;
  history::setWithoutCopyQuestion([&](const QString&, const QString&) {
    ++asked;
    return false;
  });
  QVERIFY(!pagefile::save("small", page_));
  QCOMPARE(asked, 1);
  QVERIFY(testfiles::read(page_) == big);
  QVERIFY(leftovers(mountPoint.path()).isEmpty());
  QVERIFY(history::versions(page_).empty());
  // The full disk gave its space back: a small page is kept as usual.
  testfiles::write(page_, "small before");
  QVERIFY(pagefile::save("small after", page_));
  QCOMPARE(history::versions(page_).size(), 1u);
}

void PageHistoryTest::damagedEntriesAreNotOffered() {
  testfiles::write(page_, "zero");
  QVERIFY(pagefile::save("one", page_));
  QVERIFY(pagefile::save("two", page_));
  QVERIFY(pagefile::save("three", page_));
  const std::vector<history::Version> kept = history::versions(page_);
  QCOMPARE(kept.size(), 3u);
  const QDir folder(history::folderOf(page_));
  // Same size, other bytes; bytes gone; an index that is not JSON.
  testfiles::write(folder.filePath(kept[0].id + ".bytes"), "ONE");
  QVERIFY(QFile::remove(folder.filePath(kept[1].id + ".bytes")));
  testfiles::write(folder.filePath(kept[2].id + ".json"), "{ torn");
  QVERIFY(history::versions(page_).empty());
  QByteArray bytes;
  QVERIFY(!history::readVersion(page_, kept[0], bytes));
  QVERIFY(!history::restore(page_, kept[0]));
  QCOMPARE(testfiles::read(page_), QByteArray("three"));
}

void PageHistoryTest::restoreBringsBackExactBytesAndCanBeUndone() {
  const QByteArray original("caf\xe9 \x00 <p>\r\r\n", 13);  // not UTF-8, a NUL, odd line ends
  testfiles::write(page_, original);
  QVERIFY(pagefile::save("edited", page_));
  QVERIFY(pagefile::save("edited twice", page_));
  QCOMPARE(history::versions(page_).size(), 2u);
  QVERIFY(history::restore(page_, history::versions(page_).back()));
  QCOMPARE(testfiles::read(page_), original);
  const std::vector<history::Version> after = history::versions(page_);
  QCOMPARE(after.front().action, QStringLiteral("Restore"));
  // The restore itself is taken back the same way.
  QVERIFY(history::restore(page_, after.front()));
  QCOMPARE(testfiles::read(page_), QByteArray("edited twice"));
  QCOMPARE(actionsOf(page_), (QStringList{"Restore", "Restore", "Edit", "Edit"}));
}

QV_CORE_TEST_MAIN(PageHistoryTest)
// What a crash in the middle of keeping a copy leaves (the writer's
// temporary file, bytes without their index) goes at the next copy once it
// is an hour old; younger, another running copy may be writing it.
void PageHistoryTest::crashLeftoversGoWhenSurelyAbandoned() {
  testfiles::write(page_, "one");
  QVERIFY(pagefile::save("two", page_));
  const QString folder = history::folderOf(page_);
  const QStringList names = {QStringLiteral("00000007-0000000000000000007.bytes.Ab12Cd"),
                             QStringLiteral("00000008-0000000000000000008.json.xY34zW"),
                             QStringLiteral("00000009-0000000000000000009.bytes")};
  for (const QString& name : names) {
    for (const bool old : {true, false}) {
      const QString path = folder + u'/' + (old ? name : u'1' + name.mid(1));
      testfiles::write(path, "half");
      QFile file(path);
      QVERIFY(file.open(QIODevice::ReadWrite));
      if (old)
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-2 * 3600),
                                 QFileDevice::FileModificationTime));
    }
  }
  QVERIFY(pagefile::save("three", page_));
  for (const QString& name : names) {
    QVERIFY2(!QFile::exists(folder + u'/' + name), qPrintable(name));
    QVERIFY2(QFile::exists(folder + u'/' + u'1' + name.mid(1)), qPrintable(name));
  }
  QCOMPARE(history::versions(page_).size(), 2u);
}

// The page's old file becomes the copy (no bytes copied) unless another name
// shares it: through that name it could change later, and the copy with it.
void PageHistoryTest::oldFileIsTheCopyOnlyWhenNothingElseNamesIt_data() {
  QTest::addColumn<bool>("secondName");
  QTest::newRow("page alone: its old file is the copy") << false;
  QTest::newRow("a second name: the bytes are copied") << true;
}

void PageHistoryTest::oldFileIsTheCopyOnlyWhenNothingElseNamesIt() {
  QFETCH(bool, secondName);
  testfiles::write(page_, "v0 <p>old</p>");
  const QString other = pages_->filePath(QStringLiteral("same-file.htm"));
  if (secondName)
    QCOMPARE(::link(QFile::encodeName(page_).constData(), QFile::encodeName(other).constData()), 0);
  const quint64 oldFile = filestamp::of(page_).inode;
  QVERIFY(pagefile::save("v1", page_));
  QVERIFY(pagefile::save("v2 <p>new</p>", page_));
  const std::vector<history::Version> kept = history::versions(page_);
  QCOMPARE(kept.size(), 2u);
  QCOMPARE(bytesOf(page_, kept[1]), QByteArray("v0 <p>old</p>"));
  QCOMPARE(bytesOf(page_, kept[0]), QByteArray("v1"));
  const QString copy = history::folderOf(page_) + u'/' + kept[1].id + ".bytes";
  QCOMPARE(filestamp::of(copy).inode == oldFile, !secondName);
  QCOMPARE(filestamp::of(page_).links, 1u);
  if (secondName) QCOMPARE(testfiles::read(other), QByteArray("v0 <p>old</p>"));
}

// A write that fails after the link leaves the page its own file, and the
// history without a copy that is the page itself.
void PageHistoryTest::linkedCopyGoesWhenThePageIsNotReplaced() {
  testfiles::write(page_, "kept");
  {
    const vFile::ScopedWriteFault pulled([](vFile::WriteStep s) {
      return s == vFile::WriteStep::Commit ? QStringLiteral("the device was removed") : QString();
    });
    QVERIFY(!pagefile::save("not written", page_));
  }
  QCOMPARE(testfiles::read(page_), QByteArray("kept"));
  QVERIFY(history::versions(page_).empty());
  QCOMPARE(filestamp::of(page_).links, 1u);
  QVERIFY(leftovers(root_->path()).isEmpty());
  QVERIFY(pagefile::save("written", page_));
  QCOMPARE(bytesOf(page_, history::versions(page_).at(0)), QByteArray("kept"));
}

// What a reader knew of the page spares reading it only while the file is
// as it was read; a page another program rewrote since is read again.
void PageHistoryTest::knownChecksumOnlyWhileTheFileIsAsRead_data() {
  QTest::addColumn<QByteArray>("rewritten");
  QTest::newRow("as read") << QByteArray();
  QTest::newRow("rewritten in place, longer") << QByteArray("another program's page");
  QTest::newRow("rewritten in place, same size") << QByteArray("V0 <p>as read</p>");
}

void PageHistoryTest::knownChecksumOnlyWhileTheFileIsAsRead() {
  QFETCH(QByteArray, rewritten);
  const QByteArray read("v0 <p>as read</p>");
  testfiles::write(page_, read);
  const KnownBytes known{filestamp::of(page_), sha256(read)};
  if (!rewritten.isEmpty()) {
    QTest::qWait(30);  // past the file system's clock tick
    QFile file(page_);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QCOMPARE(file.write(rewritten), rewritten.size());
  }
  QVERIFY(pagefile::save("v1", page_, &known));
  const std::vector<history::Version> kept = history::versions(page_);
  QCOMPARE(kept.size(), 1u);
  QCOMPARE(bytesOf(page_, kept[0]), rewritten.isEmpty() ? read : rewritten);
}

// Bytes without an index whose file has a second name may be a page another
// running copy has just linked: their age is that of the link.
void PageHistoryTest::linkJustMadeIsNoLeftover() {
  testfiles::write(page_, "one");
  QVERIFY(pagefile::save("two", page_));
  const QString old = pages_->filePath(QStringLiteral("old.htm"));
  testfiles::write(old, "written long ago");
  {
    QFile file(old);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-2 * 3600),
                             QFileDevice::FileModificationTime));
  }
  const QString linking =
      history::folderOf(page_) + QStringLiteral("/00000009-0000000000000000009.bytes");
  QCOMPARE(::link(QFile::encodeName(old).constData(), QFile::encodeName(linking).constData()), 0);
  QVERIFY(pagefile::save("three", page_));
  QVERIFY(QFile::exists(linking));
  QCOMPARE(testfiles::read(old), QByteArray("written long ago"));
}

#include "page_history_test.moc"
