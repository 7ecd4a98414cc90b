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

QString ownPagesDir() { return QStringLiteral(QV_TEST_DATA_DIR); }

QString corpusDir() {
  const QString set = qEnvironmentVariable("QV_CORPUS_DIR");
  return QDir::cleanPath(set.isEmpty() ? QStringLiteral(QV_DEFAULT_CORPUS_DIR) : set);
}

namespace {

QStringList corpusPages() {
  QStringList found;
  const QDir root(corpusDir());
  for (const QString& folder : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    const QDir d(root.filePath(folder));
    const QStringList html =
        d.entryList({QStringLiteral("*.htm"), QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    if (!html.isEmpty()) found << d.filePath(html.first());
  }
  return found;
}

// A copy the test may write to, whatever the source's mode.
void copyWritable(const QString& from, const QString& to) {
  QDir().mkpath(QFileInfo(to).path());
  QFile::copy(from, to);
  QFile(to).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                           QFile::ReadOther);
}

}  // namespace

QString corpusMissing() {
  return QStringLiteral("no shared corpus of pages at %1 (set QV_CORPUS_DIR to use one)")
      .arg(corpusDir());
}

QStringList pages() {
  const QDir own(ownPagesDir());
  QStringList all;
  for (const QString& name :
       own.entryList({QStringLiteral("*.htm"), QStringLiteral("*.html")}, QDir::Files, QDir::Name))
    all << own.filePath(name);
  // Our own pages are part of the sources: without them the tables would pass on nothing.
  if (all.isEmpty()) qFatal("No test pages in %s", qPrintable(ownPagesDir()));
  const QStringList corpus = corpusPages();
  if (corpus.isEmpty()) all << QString();
  return all + corpus;
}

QString pageName(const QString& page) {
  if (page.isEmpty()) return QStringLiteral("corpus (absent)");
  if (page.startsWith(ownPagesDir() + u'/'))
    return QStringLiteral("data/") + QFileInfo(page).fileName();
  return QStringLiteral("corpus/") + QFileInfo(page).dir().dirName();
}

QString copyPage(const QString& page, const QString& dir) {
  const QFileInfo info(page);
  if (info.path() == ownPagesDir()) {
    const QString to = QDir(dir).filePath(info.fileName());
    copyWritable(page, to);
    return to;
  }
  const QString from = info.path();
  const QString to = QDir(dir).filePath(info.dir().dirName());
  QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString src = it.next();
    copyWritable(src, to + src.mid(from.size()));
  }
  return QDir(to).filePath(info.fileName());
}

}  // namespace testfiles
