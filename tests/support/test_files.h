#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTest>

// Small file helpers for tests: raw bytes in and out, and the pages tests run
// over (copied before use, never written in place).
namespace testfiles {

QByteArray read(const QString& path);
void write(const QString& path, const QByteArray& bytes);

// Our own pages, one per trait real pages have (tests/data, always there).
QString ownPagesDir();
// The shared corpus of real pages: $QV_CORPUS_DIR, else ../shared/corpus
// beside the checkout. Only some machines have it.
QString corpusDir();
// Why the corpus rows are skipped (names the folder that is missing).
QString corpusMissing();

// Every page a table runs over, as full paths: our own, then the first
// .htm/.html of each corpus folder. When the corpus is absent, one empty path
// stands for it, which QV_SKIP_ABSENT_CORPUS turns into a skip.
QStringList pages();
// A short row name: "data/crlf-utf8.html", "corpus/01-bs5-landing-page".
QString pageName(const QString& page);

// Copies a page into dir (a corpus page with its folder's assets); returns its new path.
QString copyPage(const QString& page, const QString& dir);

}  // namespace testfiles

#define QV_SKIP_ABSENT_CORPUS(page)                                      \
  do {                                                                   \
    if ((page).isEmpty()) QSKIP(qPrintable(testfiles::corpusMissing())); \
  } while (false)
