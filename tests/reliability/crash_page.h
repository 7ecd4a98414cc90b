#pragma once

#include <QByteArray>

// The 100 MB page the crash test's child saves: each version differs from the
// others at the start, in the middle and at the end, so a file torn anywhere
// matches none of them.
inline QByteArray crashPageVersion(int version) {
  constexpr qsizetype kSize = 100 << 20;
  QByteArray page(kSize, char('a' + version % 26));
  const QByteArray mark = "<!-- version " + QByteArray::number(version) + " -->\n";
  page.replace(0, mark.size(), mark);
  page.replace(kSize / 2, mark.size(), mark);
  page.replace(kSize - mark.size(), mark.size(), mark);
  return page;
}
