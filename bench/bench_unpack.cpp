// Unpacking a product archive: a zip of about 200 MB holding 5,000 files
// (4,000 images that do not compress, 1,000 pages that do), unpacked once by
// the program and once by `unzip -q`, and the peak memory of a process that
// only unpacks. Prints the figures.
//
//   build/bench/bench_unpack            (needs `unzip` on the PATH for the ratio)
#include <archive.h>
#include <archive_entry.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <memory>

#include "intake/archive_unpack.h"
#include "support/test_archives.h"

namespace {

constexpr int kImages = 4000;
constexpr int kPages = 1000;
constexpr int kImageBytes = 48 * 1024;
constexpr int kPageBytes = 16 * 1024;

long statusKb(const char* field) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith(field))
      return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ')[0].toLong();
  return -1;
}

QByteArray page(int i) {
  QByteArray text = "<html><head><title>Page " + QByteArray::number(i) + "</title></head><body>";
  while (text.size() < kPageBytes - 20)
    text +=
        "<p>Buy now and get the bonus pack number " + QByteArray::number(text.size()) + ".</p>\n";
  return text + "</body></html>";
}

bool makeZip(const QString& path) {
  std::unique_ptr<archive, decltype(&archive_write_free)> a(archive_write_new(),
                                                            archive_write_free);
  archive_write_set_format_zip(a.get());
  if (archive_write_open_filename(a.get(), QFile::encodeName(path).constData()) != ARCHIVE_OK)
    return false;
  for (int i = 0; i < kImages + kPages; ++i) {
    const bool isPage = i >= kImages;
    const QByteArray data = isPage ? page(i) : testarchive::noise(kImageBytes, quint32(i));
    const QByteArray name = "Product/" + QByteArray(isPage ? "pages/p" : "images/img") +
                            QByteArray::number(i / 500) + "/" + QByteArray::number(i) +
                            (isPage ? ".html" : ".jpg");
    std::unique_ptr<archive_entry, decltype(&archive_entry_free)> e(archive_entry_new(),
                                                                    archive_entry_free);
    archive_entry_copy_pathname(e.get(), name.constData());
    archive_entry_set_filetype(e.get(), AE_IFREG);
    archive_entry_set_perm(e.get(), 0644);
    archive_entry_set_size(e.get(), data.size());
    if (archive_write_header(a.get(), e.get()) != ARCHIVE_OK ||
        archive_write_data(a.get(), data.constData(), size_t(data.size())) != data.size())
      return false;
  }
  return archive_write_close(a.get()) == ARCHIVE_OK;
}

// The child: unpacks and prints its peak resident memory in KB.
int unpackOnly(const QString& zip, const QString& folder) {
  unpack::Progress progress;
  const unpack::Report report = unpack::unpackArchive(zip, folder, {}, progress);
  if (report.outcome != unpack::Report::Outcome::Unpacked) {
    std::fprintf(stderr, "unpack failed: %s\n", qPrintable(report.why));
    return 1;
  }
  std::printf("%ld %lld\n", statusKb("VmHWM:"), qlonglong(report.files.size()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc == 4 && std::strcmp(argv[1], "--unpack") == 0)
    return unpackOnly(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));

  QTemporaryDir work;
  const QString zip = work.filePath(QStringLiteral("Product.zip"));
  if (!makeZip(zip)) {
    std::fprintf(stderr, "could not write the zip\n");
    return 1;
  }
  std::printf("zip: %.0f MB, %d files\n", QFileInfo(zip).size() / 1048576.0, kImages + kPages);

  // Ours, in a process of its own so its peak memory is the unpacking's alone.
  ::sync();
  QElapsedTimer clock;
  clock.start();
  QProcess child;
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--unpack"), zip, work.filePath(QStringLiteral("ours"))});
  child.waitForFinished(-1);
  const double ours = clock.nsecsElapsed() / 1e9;
  const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
  if (child.exitCode() != 0 || figures.size() != 2) {
    std::fprintf(stderr, "the unpacking process failed: %s\n",
                 child.readAllStandardError().constData());
    return 1;
  }
  std::printf("Quorvane unpack: %.2f s, %s files, peak memory (VmHWM) %.1f MB (limit 100 MB)\n",
              ours, figures[1].constData(), figures[0].toLong() / 1024.0);

  const QString unzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));
  if (unzip.isEmpty()) {
    std::printf("unzip -q: not installed (apt-get install unzip), no ratio\n");
    return 0;
  }
  ::sync();
  clock.restart();
  QProcess reference;
  reference.start(unzip, {QStringLiteral("-q"), zip, QStringLiteral("-d"),
                          work.filePath(QStringLiteral("unzip"))});
  reference.waitForFinished(-1);
  const double theirs = clock.nsecsElapsed() / 1e9;
  std::printf("unzip -q:        %.2f s\n", theirs);
  std::printf("ratio: %.2fx (target <= 1.3x)\n", ours / theirs);
  return 0;
}
