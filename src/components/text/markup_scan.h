#pragma once

#include <QByteArrayView>
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

}  // namespace markupscan
