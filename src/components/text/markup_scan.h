#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <vector>

// One pass over a page's bytes, the way a browser splits them: tags with
// their attributes, text, comments, and the raw content of script and style
// elements, each with its place in the file. Nothing is copied or decoded:
// names and values are views into the page, valid during the call that
// hands them over. Linear in the page's size, whatever the page holds.
namespace markupscan {

// Whether text is lowerName, ignoring the case of ASCII letters.
bool equalsNoCase(QByteArrayView text, const char* lowerName);

// The same for a name known when compiling: most names differ in length,
// and are told apart without looking at a letter.
template <qsizetype N>
bool isName(QByteArrayView text, const char (&lowerName)[N]) {
  return text.size() == N - 1 && equalsNoCase(text, lowerName);
}

struct Attribute final {
  QByteArrayView name;   // as written
  QByteArrayView value;  // as written, without quotes; entities not read
  qsizetype at = 0;      // where the name starts
  qsizetype valueAt = 0;
  template <qsizetype N>
  bool is(const char (&lowerName)[N]) const {
    return isName(name, lowerName);
  }
};

struct Tag final {
  QByteArrayView name;  // as written
  bool closing = false;
  qsizetype start = 0;  // the '<'
  qsizetype end = 0;    // after the '>'
  std::vector<Attribute> attributes;
  template <qsizetype N>
  bool is(const char (&lowerName)[N]) const {
    return isName(name, lowerName);
  }
  // The first attribute of that name, or nullptr.
  template <qsizetype N>
  const Attribute* attribute(const char (&lowerName)[N]) const {
    for (const Attribute& a : attributes)
      if (a.is(lowerName)) return &a;
    return nullptr;
  }
};

class Visitor {
 public:
  virtual ~Visitor() = default;
  virtual void tag(const Tag& /*tag*/) {}
  // Text between tags, the text of title and textarea included.
  virtual void text(qsizetype /*from*/, qsizetype /*to*/) {}
  // The content of a script, style, xmp, iframe, noembed, noframes or
  // plaintext element, which holds no tags.
  virtual void raw(const Tag& /*element*/, qsizetype /*from*/, qsizetype /*to*/) {}
  // What lies between "<!--" and "-->".
  virtual void comment(qsizetype /*from*/, qsizetype /*to*/) {}
};

void scan(QByteArrayView page, Visitor& visitor);

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
