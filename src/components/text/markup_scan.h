#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Reading markup as a browser does, where every reader of a page needs the
// same answer.
namespace markupscan {

inline char16_t charAt(QStringView s, qsizetype i) { return s[i].unicode(); }
inline char16_t charAt(QByteArrayView s, qsizetype i) { return char16_t(uchar(s[i])); }

// Whether s holds "<!--" at i.
template <typename S>
bool commentAt(const S& s, qsizetype i) {
  return i + 3 < s.size() && charAt(s, i) == '<' && charAt(s, i + 1) == '!' &&
         charAt(s, i + 2) == '-' && charAt(s, i + 3) == '-';
}

// Where the comment that opens at i ("<!--") ends, as a browser reads it:
// "<!-->" and "<!--->" are whole, empty comments; otherwise the comment ends
// with the first "-->" or "--!>". -1 when it is never closed (a browser then
// takes the rest of the page for the comment).
template <typename S>
qsizetype commentEnd(const S& s, qsizetype i) {
  const qsizetype n = s.size();
  qsizetype j = i + 4;
  if (j < n && charAt(s, j) == '>') return j + 1;
  if (j + 1 < n && charAt(s, j) == '-' && charAt(s, j + 1) == '>') return j + 2;
  for (; j + 2 < n; ++j) {
    if (charAt(s, j) != '-' || charAt(s, j + 1) != '-') continue;
    if (charAt(s, j + 2) == '>') return j + 3;
    if (j + 3 < n && charAt(s, j + 2) == '!' && charAt(s, j + 3) == '>') return j + 4;
  }
  return -1;
}

}  // namespace markupscan
