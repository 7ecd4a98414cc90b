// What vFile will not read (anything but a regular file, without blocking),
// and the reason every failed write gives.
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

#include "files/page_limit.h"
#include "files/v_file.h"
#include "support/test_files.h"

namespace {

// A small file system of our own, filled or read-only at will; needs root.
class TinyDisk final {
 public:
  explicit TinyDisk(const QString& path) : path_(path) {
    mounted_ = QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", path}) == 0;
  }
  ~TinyDisk() {
    if (mounted_) QProcess::execute("umount", {path_});
  }
  bool mounted() const { return mounted_; }
  bool makeReadOnly() { return QProcess::execute("mount", {"-o", "remount,ro", path_}) == 0; }

 private:
  QString path_;
  bool mounted_ = false;
};

}  // namespace

class VFileLimitsTest final : public QObject {
  Q_OBJECT
 private slots:
  void onlyRegularFilesAreRead_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("why");
    const QString notRegular = QStringLiteral("it is not a regular file");
    QTest::newRow("named pipe") << "pipe" << notRegular;
    QTest::newRow("link to a named pipe") << "link to pipe" << notRegular;
    QTest::newRow("link to /dev/zero") << "zero" << notRegular;
    QTest::newRow("device") << "null" << notRegular;
    QTest::newRow("socket") << "socket" << notRegular;
    QTest::newRow("folder") << "folder" << QStringLiteral("it is a folder, not a file");
    QTest::newRow("link to nothing") << "dangling" << QStringLiteral("the file does not exist");
  }
  // Refused at once by every reader, none of which blocks or runs on.
  void onlyRegularFilesAreRead() {
    QFETCH(QString, kind);
    QFETCH(QString, why);
    QTemporaryDir dir;
    QString path = dir.filePath("page.htm");
    QLocalServer socket;
    if (kind == u"pipe" || kind == u"link to pipe") {
      const QString pipe = dir.filePath("pipe.htm");
      QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
      if (kind == u"pipe")
        path = pipe;
      else
        QVERIFY(QFile::link(pipe, path));
    } else if (kind == u"zero") {
      QVERIFY(QFile::link("/dev/zero", path));
    } else if (kind == u"null") {
      path = QStringLiteral("/dev/null");
    } else if (kind == u"socket") {
      QVERIFY(socket.listen(path));
    } else if (kind == u"folder") {
      QVERIFY(QDir(dir.path()).mkdir("page.htm"));
    } else if (kind == u"dangling") {
      QVERIFY(QFile::link(dir.filePath("gone.htm"), path));
    }
    QByteArray bytes = "untouched";
    Status read = vFile::LoadBytes(bytes, path);
    QVERIFY(!read);
    QCOMPARE(read.why(), why);
    QCOMPARE(bytes, QByteArray("untouched"));
    QCOMPARE(vFile::LoadHead(bytes, path, 100).why(), why);
    QFile file;
    QCOMPARE(vFile::OpenRegular(file, path).why(), why);
    QVERIFY(!file.isOpen());
    QCOMPARE(pagelimit::editable(path).why(), why);
  }

  void headIsTheStartOfTheFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("page.htm");
    testfiles::write(path, "<html><head></head></html>");
    QByteArray head;
    QVERIFY(vFile::LoadHead(head, path, 6));
    QCOMPARE(head, QByteArray("<html>"));
    QVERIFY(vFile::LoadHead(head, path, 1000));
    QCOMPARE(head, QByteArray("<html><head></head></html>"));
  }

  void everyErrorHasWords_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("fallback");
    QTest::addColumn<QString>("why");
    QTest::newRow("full disk") << ENOSPC << "Unknown error"
                               << "no space left on the device";
    QTest::newRow("quota") << EDQUOT << ""
                           << "the disk quota is used up";
    QTest::newRow("read-only file system") << EROFS << ""
                                           << "the file system is read-only";
    QTest::newRow("input/output error") << EIO << ""
                                        << "the device reported an input/output error";
    QTest::newRow("permission") << EACCES << "Permission denied"
                                << "permission denied";
    QTest::newRow("operation not permitted") << EPERM << ""
                                             << "permission denied";
    QTest::newRow("other error, Qt's words") << EINVAL << "Invalid argument"
                                             << "Invalid argument";
    QTest::newRow("other error, no words from Qt")
        << ENOTTY << "Unknown error" << QString::fromLocal8Bit(strerror(ENOTTY));
    QTest::newRow("no error number") << 0 << "Unknown error"
                                     << "the system gave no reason";
  }
  void everyErrorHasWords() {
    QFETCH(int, error);
    QFETCH(QString, fallback);
    QFETCH(QString, why);
    QCOMPARE(vFile::reasonOf(error, fallback), why);
  }

  // On a real full disk and a real read-only file system: the reason is
  // named and the page is as it was.
  void aFullDiskIsNamed() {
    QTemporaryDir dir;
    TinyDisk disk(dir.path());
    if (!disk.mounted()) QSKIP("cannot mount a small file system here (needs root)");
    const QString path = dir.filePath("page.htm");
    const QByteArray page = "<html><body><p>Hello</p></body></html>";
    QVERIFY(vFile::SaveBytes(page, path));
    const Status full = vFile::SaveBytes(QByteArray(200 * 1024, 'x'), path);
    QCOMPARE(full.why(), QStringLiteral("no space left on the device"));
    QCOMPARE(testfiles::read(path), page);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"page.htm"});
    QVERIFY(disk.makeReadOnly());
    QCOMPARE(vFile::SaveBytes("<p>new</p>", path).why(),
             QStringLiteral("the file system is read-only"));
    QCOMPARE(testfiles::read(path), page);
  }
};

QTEST_GUILESS_MAIN(VFileLimitsTest)
#include "v_file_limits_test.moc"
