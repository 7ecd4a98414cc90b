// Publishing over loopback SFTP against the curl command doing the same
// uploads over one connection, in the same run: 1,000 files of 10 KB, one
// file of 100 MB, and a second publish after one change. Needs root (it
// makes a throwaway account for a private sshd), like the server tests.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "publish/publish_files.h"
#include "publish/publish_plan.h"
#include "publish/site_store.h"
#include "publish/transfer.h"
#include "test_servers.h"

namespace {

void write(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(bytes);
}

QByteArray noise(qsizetype size, int seed) {
  QByteArray b(size, Qt::Uninitialized);
  quint32 x = 2463534242u + quint32(seed);
  for (qsizetype i = 0; i < size; ++i) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    b[i] = char(x);
  }
  return b;
}

struct Run final {
  double seconds = 0;
  int files = 0;
  bool ok = false;
};

Run ours(const Site& site, const Trust& trust, const std::vector<PublishFile>& files,
         SiteStore& store) {
  const SiteFields fields{site.protocol, site.host, site.port, site.user, site.remoteFolder};
  QElapsedTimer t;
  t.start();
  const auto items = uploadItems(files, store.uploaded(fields));
  Transfer transfer(site, trust);
  Run r;
  UploadCallbacks cb;
  cb.fileDone = [&](std::size_t i, const QByteArray& sha) {
    ++r.files;
    store.rememberUpload(fields, items[i].remotePath, sha);
  };
  std::atomic_bool cancel = false;
  const Outcome o = transfer.upload(items, cb, cancel);
  r.seconds = t.elapsed() / 1000.0;
  r.ok = o.ok();
  if (!r.ok) std::fprintf(stderr, "publish failed: %s\n", qPrintable(o.why));
  return r;
}

// One curl command, so one connection, with every file and its address
// in a config file.
Run withCurl(const Site& site, const QStringList& locals, const QString& config) {
  QFile f(config);
  f.open(QIODevice::WriteOnly);
  f.write(QStringLiteral("user = \"%1:%2\"\ninsecure\nftp-create-dirs\nsilent\nshow-error\n")
              .arg(site.user, site.password)
              .toUtf8());
  for (const QString& l : locals)
    f.write(QStringLiteral("upload-file = \"%1\"\nurl = \"sftp://127.0.0.1:%2%3/%4\"\n")
                .arg(l)
                .arg(site.port)
                .arg(site.remoteFolder, QFileInfo(l).fileName())
                .toUtf8());
  f.close();
  QElapsedTimer t;
  t.start();
  const int rc = QProcess::execute(QStringLiteral("curl"), {"-K", config});
  return Run{t.elapsed() / 1000.0, int(locals.size()), rc == 0};
}

// The fastest of the rounds of each side: on a shared machine the slow
// rounds measure the neighbours.
struct Best final {
  double ours = 1e9, curl = 1e9;
  void add(const Run& a, const Run& b) {
    ours = std::min(ours, a.seconds);
    curl = std::min(curl, b.seconds);
  }
  void print(const char* what) const {
    std::printf("%-28s best ours %7.3f s  best curl %7.3f s  ratio %.2fx\n", what, ours, curl,
                ours / curl);
  }
};

void report(const char* what, const Run& a, const Run& b) {
  std::printf("%-28s ours %7.3f s  curl %7.3f s  ratio %.2fx%s\n", what, a.seconds, b.seconds,
              a.seconds / b.seconds, a.ok && b.ok ? "" : "  (a run FAILED)");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (const QString why = testServers::skipReason(); !why.isEmpty()) {
    std::printf("skipped: %s\n", qPrintable(why));
    return 0;
  }
  Transfer::initialise();
  testServers::TestAccount account;
  testServers::SshServer server(account);
  QTemporaryDir work;
  if (!account.ok() || !server.start(work.filePath("hostkey"))) {
    std::printf("could not start sshd: %s\n", qPrintable(server.error()));
    return 1;
  }
  Trust trust;
  trust.acceptedHostKey = testServers::SshServer::publicLine(work.filePath("hostkey"));
  auto site = [&](const QString& folder) {
    Site s{Protocol::Sftp, "127.0.0.1",      server.port(),
           account.name,   account.password, account.home + "/" + folder};
    QProcess::execute("install", {"-d", "-o", account.name, s.remoteFolder});
    return s;
  };

  // 1,000 files of 10 KB, named by one page.
  QByteArray page = "<html><body>\n";
  QStringList smallFiles;
  for (int i = 0; i < 1000; ++i) {
    const QString name = QStringLiteral("f%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
    write(work.filePath("small/" + name), noise(10 * 1024, i));
    smallFiles << work.filePath("small/" + name);
    page += "<img src=\"" + name.toUtf8() + "\">\n";
  }
  write(work.filePath("small/index.html"), page);
  const auto files = filesToPublish({work.filePath("small/index.html")});
  std::vector<PublishFile> onlyImages(files.begin(), files.end() - 1);

  SiteStore store(work.filePath("bench.ini"));
  const int rounds =
      qEnvironmentVariableIsSet("QV_ROUNDS") ? qEnvironmentVariableIntValue("QV_ROUNDS") : 3;
  Best small, large;
  for (int round = 1; round <= rounds && !qEnvironmentVariableIsSet("QV_BIG_ONLY"); ++round) {
    SiteStore fresh(work.filePath(QStringLiteral("round%1.ini").arg(round)));
    const Run a = ours(site(QStringLiteral("ours%1").arg(round)), trust, onlyImages, fresh);
    const Run b = withCurl(site(QStringLiteral("curl%1").arg(round)), smallFiles,
                           work.filePath("small.curl"));
    report(qPrintable(QStringLiteral("1000 x 10 KB, round %1").arg(round)), a, b);
    small.add(a, b);
  }
  small.print("1000 x 10 KB");

  write(work.filePath("big/big.bin"), noise(100 * 1024 * 1024, 7));
  const auto big = filesToPublish({work.filePath("big/big.bin")});
  for (int round = 1; round <= rounds; ++round) {
    SiteStore fresh(work.filePath(QStringLiteral("big%1.ini").arg(round)));
    const Run a = ours(site(QStringLiteral("bigours%1").arg(round)), trust, big, fresh);
    const Run b = withCurl(site(QStringLiteral("bigcurl%1").arg(round)),
                           {work.filePath("big/big.bin")}, work.filePath("big.curl"));
    report(qPrintable(QStringLiteral("1 x 100 MB, round %1").arg(round)), a, b);
    large.add(a, b);
  }
  large.print("1 x 100 MB");

  // The page set published once, one picture changed, published again:
  // the second time counts the scan (checksums of all 1,001 files) too.
  const Site again = site("again");
  ours(again, trust, files, store);
  write(work.filePath("small/f0500.jpg"), noise(10 * 1024, 99999));
  QElapsedTimer t;
  t.start();
  const auto rescanned = filesToPublish({work.filePath("small/index.html")});
  const double scan = t.elapsed() / 1000.0;
  const Run second = ours(again, trust, rescanned, store);
  std::printf("second publish after one change: %.3f s (scan %.3f s), %d file(s) sent%s\n",
              scan + second.seconds, scan, second.files, second.ok ? "" : "  (FAILED)");
  return 0;
}
