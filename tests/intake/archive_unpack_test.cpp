#include "intake/archive_unpack.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "support/core_test_main.h"
#include "support/test_archives.h"

using testarchive::Entry;
using testarchive::Format;
using Outcome = unpack::Report::Outcome;

Q_DECLARE_METATYPE(testarchive::Format)
Q_DECLARE_METATYPE(unpack::Report::Outcome)

namespace {

// Everything under root, relative, links marked with "@".
QStringList tree(const QString& root) {
  QStringList all;
  QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    it.next();
    all << QDir(root).relativeFilePath(it.filePath()) + (it.fileInfo().isSymLink() ? "@" : "");
  }
  all.sort();
  return all;
}

QStringList entryNames(const QList<unpack::Note>& notes) {
  QStringList names;
  for (const unpack::Note& n : notes) names << n.entry;
  return names;
}

unpack::Report run(const QString& archive, const QString& folder, const QString& password = {},
                   const unpack::Limits& limits = {}) {
  unpack::Progress progress;
  return unpack::unpackArchive(archive, folder, password, progress, limits);
}

const QList<Entry> kProduct{{"Sales Page/index.html", "<html>sales</html>"},
                            {"Sales Page/images/logo.png", testarchive::noise(70000)},
                            {"Download Page/download.html", "<html>download</html>"},
                            {"terms.htm", "<html>terms</html>"}};
const QStringList kProductPages{"Sales Page/index.html", "terms.htm",
                                "Download Page/download.html"};

}  // namespace

class ArchiveUnpackTest final : public QObject {
  Q_OBJECT
 private slots:
  void unpacksEveryFormat_data();
  void unpacksEveryFormat();
  void hostileEntriesStayOutside_data();
  void hostileEntriesStayOutside();
  void namesAreDecodedAndMadeSafe();
  void limitsHold_data();
  void limitsHold();
  void passwordIsAskedThenChecked();
  void damagedArchiveKeepsWholeFiles_data();
  void damagedArchiveKeepsWholeFiles();
  void nestedArchivesStayPacked();
  void cancelTakesBackTheRun_data();
  void cancelTakesBackTheRun();
  void folderMustBeNewOrEmpty();

 private:
  QString made(const QString& name, Format format, const QList<Entry>& entries,
               const QByteArray& password = {}) {
    const QString path = store_.filePath(name);
    if (!testarchive::write(path, format, entries, password))
      qFatal("cannot write %s", qPrintable(name));
    return path;
  }
  QTemporaryDir store_;
};

void ArchiveUnpackTest::unpacksEveryFormat_data() {
  QTest::addColumn<QString>("archive");
  QTest::newRow("zip") << made("p.zip", Format::Zip, kProduct);
  QTest::newRow("7z") << made("p.7z", Format::SevenZip, kProduct);
  QTest::newRow("tar.gz") << made("p.tar.gz", Format::TarGz, kProduct);
  QList<Entry> dos;
  for (Entry e : kProduct) dos << Entry{e.name.replace('/', '\\'), e.data};
  const QString rar = store_.filePath("p.rar");
  testarchive::writeAll(rar, testarchive::rar4(dos));
  QTest::newRow("rar") << rar;
}

void ArchiveUnpackTest::unpacksEveryFormat() {
  QFETCH(QString, archive);
  QTemporaryDir dir;
  const QString out = dir.filePath("Product");
  const unpack::Report report = run(archive, out);
  QCOMPARE(report.outcome, Outcome::Unpacked);
  QCOMPARE(report.pages(), kProductPages);
  for (const Entry& e : kProduct) QCOMPARE(testarchive::readAll(out + '/' + e.name), e.data);
  // Nothing else, no temporary file left behind.
  QCOMPARE(tree(out), QStringList({"Download Page", "Download Page/download.html", "Sales Page",
                                   "Sales Page/images", "Sales Page/images/logo.png",
                                   "Sales Page/index.html", "terms.htm"}));
}

void ArchiveUnpackTest::hostileEntriesStayOutside_data() {
  QTest::addColumn<Format>("format");
  QTest::newRow("zip") << Format::Zip;
  QTest::newRow("tar.gz") << Format::TarGz;
}

void ArchiveUnpackTest::hostileEntriesStayOutside() {
  QFETCH(Format, format);
  QTemporaryDir elsewhere, dir;
  const QByteArray absolute = QFile::encodeName(elsewhere.filePath("abs.htm"));
  QList<Entry> entries{{"../../up.htm", "x"},        {absolute, "x"},
                       {"inner/../../up2.htm", "x"}, {"link", "/etc", Entry::Symlink},
                       {"link/passwd.htm", "x"},     {"ok.htm", "<html>"}};
  if (format == Format::TarGz) entries << Entry{"hard.htm", "ok.htm", Entry::Hardlink};
  const QString archive = made("hostile", format, entries);
  const unpack::Report report = run(archive, dir.filePath("box/out"));

  QCOMPARE(report.outcome, Outcome::Unpacked);
  QCOMPARE(tree(dir.path()), QStringList({"box", "box/out", "box/out/ok.htm"}));
  QCOMPARE(tree(elsewhere.path()), QStringList());
  QStringList refused = entryNames(report.refused);
  QStringList expected;
  for (const Entry& e : entries)
    if (e.name != "ok.htm") expected << QString::fromUtf8(e.name);
  refused.sort();
  expected.sort();
  QCOMPARE(refused, expected);
}

void ArchiveUnpackTest::namesAreDecodedAndMadeSafe() {
  QTemporaryDir dir;
  const QString archive = made("names.zip", Format::Zip,
                               {{"QQQQQ.htm", "cp437"},
                                {"caf\xc3\xa9.htm", "utf-8"},
                                {"CON.htm", "device"},
                                {"tab\there?.htm", "control"},
                                {"Page.htm", "first"},
                                {"page.htm", "second"},
                                {"Images/a.png", "a"},
                                {"images/b.png", "b"}});
  // An old tool's name: code page 437 bytes, no UTF-8 flag.
  QByteArray bytes = testarchive::readAll(archive);
  bytes.replace("QQQQQ", "\x80\x81\x82\x8e\x99");
  QVERIFY(testarchive::writeAll(archive, bytes));

  const QString out = dir.filePath("out");
  const unpack::Report report = run(archive, out);
  QCOMPARE(report.outcome, Outcome::Unpacked);
  QCOMPARE(tree(out), QStringList({"Images", "Images/a.png", "Images/b.png", "Page.htm", "_CON.htm",
                                   "café.htm", "page (2).htm", "tab_here_.htm", "ÇüéÄÖ.htm"}));
  QCOMPARE(testarchive::readAll(out + "/page (2).htm"), QByteArray("second"));
  QCOMPARE(testarchive::readAll(out + "/ÇüéÄÖ.htm"), QByteArray("cp437"));
  QCOMPARE(entryNames(report.renamed),
           QStringList({"CON.htm", "tab\there?.htm", "page.htm", "images"}));
  QVERIFY(unpack::summary(report, out).contains("page.htm -> page (2).htm"));
}

void ArchiveUnpackTest::limitsHold_data() {
  QTest::addColumn<QString>("archive");
  QTest::addColumn<qint64>("maxBytes");
  QTest::addColumn<Outcome>("outcome");
  QTest::addColumn<QStringList>("files");
  QTest::addColumn<QString>("why");

  const QString bomb = made("bomb.zip", Format::Zip,
                            {{"first.htm", "<html>"}, {"bomb.bin", QByteArray(10 << 20, '\0')}});
  QVERIFY(QFileInfo(bomb).size() < 20000);
  QTest::newRow("10 KB packed, 10 MB unpacked")
      << bomb << (qint64(2) << 30) << Outcome::Stopped << QStringList{"first.htm"}
      << "more than 200 times its packed size";

  const QList<Entry> two{{"a.bin", testarchive::noise(600000, 1)},
                         {"b.bin", testarchive::noise(600000, 2)}};
  QTest::newRow("said to be over the size limit")
      << made("big.zip", Format::Zip, two) << (qint64(1) << 20) << Outcome::Refused << QStringList()
      << "would unpack to more than 1 MB";

  const QString liar = made("liar.zip", Format::Zip, two);
  QByteArray bytes = testarchive::readAll(liar);
  testarchive::declareSize(bytes, "b.bin", 1000);
  testarchive::writeAll(liar, bytes);
  QTest::newRow("headers hiding the size")
      << liar << (qint64(1) << 20) << Outcome::Stopped << QStringList{"a.bin"} << "more than 1 MB";

  QList<Entry> many;
  for (int i = 0; i <= 20000; ++i) many << Entry{QByteArray::number(i), {}};
  QTest::newRow("more than 20,000 entries")
      << made("many.zip", Format::Zip, many) << (qint64(2) << 30) << Outcome::Refused
      << QStringList() << "more than 20,000 files and folders";
}

void ArchiveUnpackTest::limitsHold() {
  QFETCH(QString, archive);
  QFETCH(qint64, maxBytes);
  QFETCH(Outcome, outcome);
  QFETCH(QStringList, files);
  QFETCH(QString, why);
  QTemporaryDir dir;
  const QString out = dir.filePath("out");
  unpack::Limits limits;
  limits.maxBytes = maxBytes;
  unpack::Progress progress;
  const unpack::Report report = unpack::unpackArchive(archive, out, {}, progress, limits);
  QCOMPARE(report.outcome, outcome);
  QVERIFY2(report.why.contains(why), qPrintable(report.why));
  QCOMPARE(report.files, files);
  if (files.isEmpty())
    QVERIFY(!QFileInfo::exists(out));
  else
    QCOMPARE(tree(out), files);
  // Stopped soon after the limit, not at the end of the data.
  QVERIFY(progress.bytesDone < 3 << 20);
}

void ArchiveUnpackTest::passwordIsAskedThenChecked() {
  const QString archive =
      made("locked.zip", Format::Zip, {{"index.html", "<html>secret</html>"}}, "s3cret");
  QTemporaryDir dir;
  const QString out = dir.filePath("out");
  QCOMPARE(run(archive, out).outcome, Outcome::NeedsPassword);
  QVERIFY(!QFileInfo::exists(out));
  QCOMPARE(run(archive, out, "wrong").outcome, Outcome::WrongPassword);
  QVERIFY(!QFileInfo::exists(out));
  QCOMPARE(run(archive, out, "s3cret").outcome, Outcome::Unpacked);
  QCOMPARE(testarchive::readAll(out + "/index.html"), QByteArray("<html>secret</html>"));
}

void ArchiveUnpackTest::damagedArchiveKeepsWholeFiles_data() {
  QTest::addColumn<Format>("format");
  QTest::newRow("zip") << Format::Zip;
  QTest::newRow("tar.gz") << Format::TarGz;
}

void ArchiveUnpackTest::damagedArchiveKeepsWholeFiles() {
  QFETCH(Format, format);
  const QString archive = made("cut", format,
                               {{"a.htm", "<html>a</html>"},
                                {"b.htm", "<html>b</html>"},
                                {"c.bin", testarchive::noise(300000)},
                                {"d.htm", "<html>d</html>"}});
  const QByteArray whole = testarchive::readAll(archive);
  testarchive::writeAll(archive, whole.left(whole.size() * 6 / 10));
  QTemporaryDir dir;
  const QString out = dir.filePath("out");
  const unpack::Report report = run(archive, out);
  QCOMPARE(report.outcome, Outcome::Unpacked);
  QCOMPARE(report.files, QStringList({"a.htm", "b.htm"}));
  QCOMPARE(tree(out), QStringList({"a.htm", "b.htm"}));
  QVERIFY(entryNames(report.damaged).contains("c.bin"));
  QVERIFY(unpack::summary(report, out).contains("damaged"));
}

void ArchiveUnpackTest::nestedArchivesStayPacked() {
  const QByteArray inner = testarchive::readAll(
      made("inner.zip", Format::Zip, {{"inner/index.html", "<html>inner</html>"}}));
  const QString archive = made("outer.zip", Format::Zip,
                               {{"index.html", "<html>outer</html>"},
                                {"bonus/extra.zip", inner},
                                {"bonus/more.tar.gz", "not really"}});
  QTemporaryDir dir;
  const QString out = dir.filePath("out");
  const unpack::Report report = run(archive, out);
  QCOMPARE(report.leftPacked, QStringList({"bonus/extra.zip", "bonus/more.tar.gz"}));
  QCOMPARE(report.pages(), QStringList{"index.html"});
  QCOMPARE(tree(out), QStringList({"bonus", "bonus/extra.zip", "bonus/more.tar.gz", "index.html"}));
  QCOMPARE(testarchive::readAll(out + "/bonus/extra.zip"), inner);
}

void ArchiveUnpackTest::cancelTakesBackTheRun_data() {
  QTest::addColumn<bool>("folderExists");
  QTest::newRow("new folder") << false;
  QTest::newRow("empty folder") << true;
}

void ArchiveUnpackTest::cancelTakesBackTheRun() {
  QFETCH(bool, folderExists);
  static const QString archive = [this] {
    QList<Entry> files;
    for (int i = 0; i < 1000; ++i)
      files << Entry{"part" + QByteArray::number(i / 100) + "/f" + QByteArray::number(i),
                     testarchive::noise(16 * 1024, quint32(i))};
    return made("long.tar.gz", Format::TarGz, files);
  }();
  QTemporaryDir dir;
  const QString out = dir.filePath("new/out");
  if (folderExists) QVERIFY(QDir().mkpath(out));
  const QStringList before = tree(dir.path());

  unpack::Progress progress;
  unpack::Report report;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    report = unpack::unpackArchive(archive, out, {}, progress);
    done = true;
  });
  while (progress.entriesDone < 20 && !done) std::this_thread::yield();
  progress.cancel = true;
  worker.join();
  QCOMPARE(report.outcome, Outcome::Cancelled);
  QCOMPARE(tree(dir.path()), before);
}

void ArchiveUnpackTest::folderMustBeNewOrEmpty() {
  const QString archive = made("small.zip", Format::Zip, {{"index.html", "<html>"}});
  QTemporaryDir dir;
  QVERIFY(testarchive::writeAll(dir.filePath("mine.txt"), "mine"));
  const unpack::Report report = run(archive, dir.path());
  QCOMPARE(report.outcome, Outcome::Failed);
  QVERIFY(report.why.contains("not empty"));
  QCOMPARE(tree(dir.path()), QStringList{"mine.txt"});
}

QV_CORE_TEST_MAIN(ArchiveUnpackTest)
#include "archive_unpack_test.moc"
