#include "support/test_files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace testfiles {

QByteArray read(const QString& path) {
  // A pipe or a device reads as nothing rather than blocking the test.
  if (!QFileInfo(path).isFile()) return {};
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

void write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

QString corpusDir() { return QStringLiteral(QV_CORPUS_DIR); }

QStringList corpusPages() {
  QStringList pages;
  const QDir root(corpusDir());
  for (const QString& folder : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    const QDir d(root.filePath(folder));
    const QStringList html =
        d.entryList({QStringLiteral("*.htm"), QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    if (!html.isEmpty()) pages << folder + QLatin1Char('/') + html.first();
  }
  // A missing corpus must fail the tests, not make them pass on nothing.
  if (pages.isEmpty()) qFatal("No corpus pages found in %s", qPrintable(corpusDir()));
  return pages;
}

QString copyCorpusPage(const QString& page, const QString& dir) {
  const QString folder = page.section(QLatin1Char('/'), 0, 0);
  const QString from = QDir(corpusDir()).filePath(folder);
  const QString to = QDir(dir).filePath(folder);
  QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString src = it.next();
    const QString dst = to + src.mid(from.size());
    QDir().mkpath(QFileInfo(dst).path());
    QFile::copy(src, dst);
    QFile(dst).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                              QFile::ReadOther);
  }
  return QDir(dir).filePath(page);
}

}  // namespace testfiles
