#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Where a snippet of My Code stands in a page, and the page with its old code
// made new: pure functions over the page's bytes. A code is looked for in the
// bytes it was written as: as the code tools write it into this page (what
// its charset lacks as character references), as its charset writes it, and
// with its line breaks as LF, CR LF or CR.
namespace snippetuse {

// versions[0] is the code now; the others are codes it held before.
struct Place final {
  qsizetype start = 0;  // in the page's bytes
  qsizetype end = 0;
  int version = 0;
  int form = 0;  // which of the written forms
};

struct Use final {
  QList<Place> places;  // left to right, none overlapping
  QString refused;      // why the page cannot be searched, else empty
  int current() const;  // places holding the code now
  int old() const;      // places holding an earlier code
};

// The forms a code takes in a page, in a fixed order (a form the page
// cannot hold is empty).
QList<QByteArray> formsIn(const QByteArray& page, const QString& code);

// Every place of every version in the page. Where two overlap, the longer
// one counts (new code that holds the old one is not old code).
Use find(const QByteArray& page, const QStringList& versions);

// The page with every place of an earlier code holding the code now, in the
// form the old one was written in; every other byte as it was.
QByteArray update(const QByteArray& page, const Use& use, const QString& code);

}  // namespace snippetuse
