#pragma once

#include <QByteArray>

// The page the crash tests' children save (100 MB unless told): each version
// differs from the others at the start, in the middle and at the end, so a
// file torn anywhere matches none of them.
inline QByteArray crashPageVersion(int version, qsizetype size = 100 << 20) {
  QByteArray page(size, char('a' + version % 26));
  const QByteArray mark = "<!-- version " + QByteArray::number(version) + " -->\n";
  page.replace(0, mark.size(), mark);
  page.replace(size / 2, mark.size(), mark);
  page.replace(size - mark.size(), mark.size(), mark);
  return page;
}

// The size of the page the history crash test saves.
constexpr qsizetype kHistoryCrashPageSize = 20 << 20;
