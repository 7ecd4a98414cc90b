#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "tools/page_batch.h"
#include "tools/snippet_use.h"

// A snippet of My Code in the pages of the list: where it is used, and the
// pages that still hold an earlier code brought up to date.
namespace snippetpages {

// One page as searched: what it held, so a page changed since can be told.
struct PageUse final {
  QString path;
  qsizetype size = 0;
  size_t fingerprint = 0;
  snippetuse::Use use;
  QString failure;  // could not be read or searched
};

// versions[0] is the code now, then its earlier codes.
QList<PageUse> usedOn(const QStringList& pages, const QStringList& versions);

// "Used on 2 of 3 pages", and how many of them hold an earlier code.
QString summary(const QList<PageUse>& pages);
// The pages that hold an earlier code.
QList<PageUse> outdated(const QList<PageUse>& pages);

// Every earlier code of the outdated pages becomes code, through the tools'
// many-page writer (each page's history kept). A page changed since it was
// searched, or one that cannot be written, is reported and left as it is.
QList<pagebatch::PageOutcome> update(const QList<PageUse>& pages, const QString& code);

}  // namespace snippetpages
