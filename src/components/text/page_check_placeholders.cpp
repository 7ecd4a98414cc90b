#include "text/page_check_placeholders.h"

#include <array>

namespace pagecheck {

namespace {

bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool isLetter(char c) { return isUpper(c) || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlnum(char c) { return isLetter(c) || isDigit(c); }
char lower(char c) { return isUpper(c) ? char(c + 32) : c; }

constexpr qsizetype kLongest = 80;  // a placeholder is short; a longer stretch is text

// What each byte can be to the finder: part of a word, or the start of a
// bracketed placeholder. One look per byte of text.
enum : unsigned char { kOther = 0, kWord = 1, kWordStart = 2, kBracket = 4 };
constexpr std::array<unsigned char, 256> kClass = [] {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c)
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) t[c] = kWord;
  // Words a placeholder starts with: insert, your, example.
  for (const char c : {'I', 'i', 'Y', 'y', 'E', 'e'}) t[uchar(c)] |= kWordStart;
  t['['] = t['{'] = kBracket;
  return t;
}();

class Finder final {
 public:
  Finder(QByteArrayView s, qsizetype from, qsizetype to, QList<Placeholder>& out)
      : s_(s), from_(from), to_(to), out_(out) {}

  // Looks at '[' and '{', and at the first letter of each word: a
  // placeholder starts nowhere else, and the rest of a word is skipped.
  void run() {
    for (qsizetype i = from_; i < to_;) {
      const unsigned char k = kClass[uchar(s_[i])];
      if (k & (kBracket | kWordStart)) {
        const qsizetype end = at(i);
        if (end > i) {
          out_.append({i, QString::fromUtf8(s_.sliced(i, end - i))});
          i = end;
          continue;
        }
      }
      ++i;
      if (k & kWord)
        while (i < to_ && (kClass[uchar(s_[i])] & kWord)) ++i;
    }
  }

 private:
  bool wordStart(qsizetype i) const { return i == from_ || !isAlnum(s_[i - 1]); }
  bool wordEnd(qsizetype i) const { return i >= to_ || !isAlnum(s_[i]); }

  bool word(qsizetype i, const char* lowerWord, bool upperOnly = false) const {
    for (qsizetype k = 0; lowerWord[k]; ++k) {
      if (i + k >= to_) return false;
      const char c = s_[i + k];
      if (upperOnly ? c != lowerWord[k] - 32 : lower(c) != lowerWord[k]) return false;
    }
    return true;
  }

  // Where the placeholder starting at i ends; i itself when none starts there.
  qsizetype at(qsizetype i) const {
    switch (s_[i]) {
      case '[':
        return upperTag(i);
      case '{':
        return braces(i);
      case 'I':
      case 'i':
        return insertHere(i);
      case 'Y':
      case 'y':
        return yours(i);
      default:
        return example(i);
    }
  }

  // "[BUYBUTTON]", "[YOUR NAME]", "[AFFILIATE_LINK]": capitals, digits, blanks, _ and -.
  qsizetype upperTag(qsizetype i) const {
    qsizetype j = i + 1;
    if (j >= to_ || !isUpper(s_[j])) return i;
    while (j < to_ && j - i <= kLongest &&
           (isUpper(s_[j]) || isDigit(s_[j]) || s_[j] == ' ' || s_[j] == '_' || s_[j] == '-'))
      ++j;
    if (j >= to_ || s_[j] != ']' || j - i < 4 || s_[j - 1] == ' ') return i;
    return j + 1;
  }

  // "{{first_name}}" on one line.
  qsizetype braces(qsizetype i) const {
    if (i + 1 >= to_ || s_[i + 1] != '{') return i;
    for (qsizetype j = i + 2; j + 1 < to_ && j - i <= kLongest; ++j) {
      if (s_[j] == '\n' || s_[j] == '<') return i;
      if (s_[j] == '}' && s_[j + 1] == '}') return j + 2;
    }
    return i;
  }

  // "INSERT YOUR LINK HERE" in capitals, or "(insert your text here)" in
  // brackets: everyday prose ("insert the disc and click here") is neither.
  qsizetype insertHere(qsizetype i) const {
    if (!wordStart(i) || !wordEnd(i + 6)) return i;
    const bool capitals = word(i, "insert", true);
    const bool bracketed =
        i > from_ && (s_[i - 1] == '[' || s_[i - 1] == '(' || s_[i - 1] == '{' || s_[i - 1] == '*');
    if (!capitals && !(bracketed && word(i, "insert"))) return i;
    for (qsizetype j = i + 7; j + 4 <= to_ && j - i <= kLongest; ++j) {
      if (s_[j] == '\n' || s_[j] == '.') return i;
      if (wordStart(j) && word(j, "here", capitals) && wordEnd(j + 4)) return j + 4;
    }
    return i;
  }

  // yourdomain.com, your-site.net, your@email.com, youremail@gmail.com.
  qsizetype yours(qsizetype i) const {
    if (!wordStart(i) || !word(i, "your")) return i;
    qsizetype j = i + 4;
    if (j < to_ && (s_[j] == '-' || s_[j] == '_' || s_[j] == '.')) ++j;
    for (const char* what : {"domain", "website", "site", "url", "blog", "store", "company"}) {
      if (!word(j, what)) continue;
      qsizetype k = j + qsizetype(std::char_traits<char>::length(what));
      if (k + 2 < to_ && s_[k] == '.' && isLetter(s_[k + 1])) return hostEnd(k + 1);
    }
    for (const char* what : {"email", "e-mail", "mail", "name", ""}) {
      if (!word(j, what)) continue;
      const qsizetype k = j + qsizetype(std::char_traits<char>::length(what));
      if (k < to_ && s_[k] == '@') return hostEnd(k + 1);
    }
    return i;
  }

  // name@example.com, www.example.org, example.net/page.
  qsizetype example(qsizetype i) const {
    if (i > from_ && (isAlnum(s_[i - 1]) || s_[i - 1] == '-' || s_[i - 1] == '_')) return i;
    if (!word(i, "example.")) return i;
    for (const char* tld : {"com", "org", "net"})
      if (word(i + 8, tld) && wordEnd(i + 11)) return i + 11;
    return i;
  }

  qsizetype hostEnd(qsizetype j) const {
    while (j < to_ && (isAlnum(s_[j]) || s_[j] == '.' || s_[j] == '-')) ++j;
    while (j > 0 && s_[j - 1] == '.') --j;
    return j;
  }

  QByteArrayView s_;
  qsizetype from_;
  qsizetype to_;
  QList<Placeholder>& out_;
};

}  // namespace

void findPlaceholders(QByteArrayView bytes, qsizetype from, qsizetype to, QList<Placeholder>& out) {
  Finder(bytes, std::max<qsizetype>(from, 0), std::min(to, bytes.size()), out).run();
}

}  // namespace pagecheck
