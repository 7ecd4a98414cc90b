#include "text/markup_scan.h"

#include <array>
#include <string_view>

namespace markupscan {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }

// Elements whose content is text up to their own end tag, never markup.
constexpr std::array<std::string_view, 7> kRawText{"script",  "style",    "xmp",      "iframe",
                                                   "noembed", "noframes", "plaintext"};
constexpr std::array<std::string_view, 2> kTextOnly{"title", "textarea"};

bool is(QByteArrayView name, std::string_view lowerName) {
  return name.size() == qsizetype(lowerName.size()) && equalsNoCase(name, lowerName.data());
}

class Scanner final {
 public:
  Scanner(QByteArrayView s, Visitor& v) : s_(s), n_(s.size()), v_(v) {}

  void run() {
    qsizetype textFrom = 0;
    qsizetype i = 0;
    while (i < n_) {
      const qsizetype lt = s_.indexOf('<', i);
      if (lt < 0 || lt + 1 >= n_) break;
      const char next = s_[lt + 1];
      qsizetype end = -1;
      if (commentAt(s_, lt)) {
        flushText(textFrom, lt);
        end = comment(lt);
      } else if (next == '!' || next == '?' ||
                 (next == '/' && (lt + 2 >= n_ || !isLetter(s_[lt + 2])))) {
        // A doctype, a processing instruction or a stray "</ ": to the next '>'.
        flushText(textFrom, lt);
        const qsizetype close = s_.indexOf('>', lt + 1);
        end = close < 0 ? n_ : close + 1;
      } else if (isLetter(next) || next == '/') {
        flushText(textFrom, lt);
        if (!readTag(lt)) return;  // a tag the page never ends swallows the rest, as in a browser
        v_.tag(tag_);
        end = tag_.closing ? tag_.end : afterTag();
      } else {
        i = lt + 1;  // "a < b": text
        continue;
      }
      i = textFrom = end;
    }
    flushText(textFrom, n_);
  }

 private:
  void flushText(qsizetype from, qsizetype to) {
    if (to > from) v_.text(from, to);
  }

  qsizetype comment(qsizetype lt) {
    const qsizetype end = commentEnd(s_, lt);
    if (end < 0) {
      v_.comment(lt + 4, n_);
      return n_;
    }
    // "<!-->" and "<!--->" are whole, empty comments; the others end in
    // "-->" or "--!>".
    if (end - lt <= 6) return end;
    v_.comment(lt + 4, end - (s_[end - 2] == '!' ? 4 : 3));
    return end;
  }

  // Where scanning goes on after a start tag: past the content of an element
  // that holds no markup, else right after the tag.
  qsizetype afterTag() {
    const qsizetype from = tag_.end;
    for (const std::string_view name : kRawText) {
      if (!is(tag_.name, name)) continue;
      const qsizetype to = endTagOf(name, from);
      v_.raw(tag_, from, to);
      return to;
    }
    for (const std::string_view name : kTextOnly) {
      if (!is(tag_.name, name)) continue;
      const qsizetype to = endTagOf(name, from);
      flushText(from, to);
      return to;
    }
    return from;
  }

  // The "</name" that ends the element, or the end of the page.
  qsizetype endTagOf(std::string_view name, qsizetype from) const {
    if (name == "plaintext") return n_;
    const qsizetype len = qsizetype(name.size());
    for (qsizetype j = s_.indexOf("</", from); j >= 0; j = s_.indexOf("</", j + 2)) {
      const qsizetype after = j + 2 + len;
      if (after > n_) break;
      if (!is(s_.sliced(j + 2, len), name)) continue;
      if (after == n_ || isSpace(s_[after]) || s_[after] == '/' || s_[after] == '>') return j;
    }
    return n_;
  }

  // The tag starting at lt into tag_; false when the page ends inside it.
  bool readTag(qsizetype lt) {
    tag_.attributes.clear();
    tag_.start = lt;
    qsizetype j = lt + 1;
    tag_.closing = s_[j] == '/';
    if (tag_.closing) ++j;
    const qsizetype nameFrom = j;
    while (j < n_ && !isSpace(s_[j]) && s_[j] != '/' && s_[j] != '>') ++j;
    tag_.name = s_.sliced(nameFrom, j - nameFrom);
    for (;;) {
      while (j < n_ && (isSpace(s_[j]) || s_[j] == '/')) ++j;
      if (j >= n_) return false;
      if (s_[j] == '>') break;
      Attribute a;
      a.at = j;
      // A name may start with '=' (it is then part of the name).
      if (s_[j] == '=') ++j;
      while (j < n_ && !isSpace(s_[j]) && s_[j] != '=' && s_[j] != '>' && s_[j] != '/') ++j;
      a.name = s_.sliced(a.at, j - a.at);
      qsizetype k = j;
      while (k < n_ && isSpace(s_[k])) ++k;
      if (k < n_ && s_[k] == '=') {
        j = k + 1;
        while (j < n_ && isSpace(s_[j])) ++j;
        if (j >= n_) return false;
        const char quote = s_[j];
        if (quote == '"' || quote == '\'') {
          const qsizetype close = s_.indexOf(quote, j + 1);
          if (close < 0) return false;
          a.valueAt = j + 1;
          a.value = s_.sliced(j + 1, close - j - 1);
          j = close + 1;
        } else {
          a.valueAt = j;
          while (j < n_ && !isSpace(s_[j]) && s_[j] != '>') ++j;
          a.value = s_.sliced(a.valueAt, j - a.valueAt);
        }
      } else {
        a.valueAt = j;
      }
      tag_.attributes.push_back(a);
    }
    tag_.end = j + 1;
    return true;
  }

  QByteArrayView s_;
  qsizetype n_;
  Visitor& v_;
  Tag tag_;
};

}  // namespace

bool equalsNoCase(QByteArrayView text, const char* lowerName) {
  qsizetype i = 0;
  for (; lowerName[i]; ++i)
    if (i >= text.size() || lower(text[i]) != lowerName[i]) return false;
  return i == text.size();
}

void scan(QByteArrayView page, Visitor& visitor) { Scanner(page, visitor).run(); }

}  // namespace markupscan
