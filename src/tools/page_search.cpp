#include "tools/page_search.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringView>
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "text/charsets.h"
#include "text/html_entities.h"
#include "text/markup_scan.h"
#include "text/page_text.h"
#include "text/splice.h"
#include "text/text_codec.h"

namespace {

using pagesearch::Match;
using pagesearch::Mode;

constexpr char16_t kByteBase = 0xF700;  // how vFile holds byte b >= 0x80 of a single-byte page
constexpr char16_t kBoundary = 0xFFFF;  // between two runs of text: no match crosses it
constexpr qsizetype kContext = 40;      // characters shown on each side of a match

bool isSpace(char16_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == 0xA0;
}
bool isAsciiLetter(char16_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isWordChar(QChar c) { return c.unicode() != kBoundary && (c.isLetterOrNumber() || c == u'_'); }

bool westernDefault(const QString& name) {
  return name.isEmpty() || name == u"iso-8859-1" || name == u"latin1" || name == u"l1" ||
         name == u"us-ascii" || name == u"ascii" || name == u"windows-1252" || name == u"cp1252" ||
         name == u"x-cp1252" || name == u"iso8859-1" || name == u"iso_8859-1";
}

// The characters bytes 0x80-0xFF stand for in a single-byte charset; a byte
// the charset gives no single character keeps vFile's placeholder, which no
// typed text matches.
using HighBytes = std::array<char16_t, 128>;

HighBytes highBytesOf(const QString& charset) {
  static QHash<QString, HighBytes> known;
  if (const auto it = known.constFind(charset); it != known.constEnd()) return *it;
  HighBytes table{};
  for (int b = 0; b < 128; ++b) table[b] = char16_t(kByteBase + 0x80 + b);
  const QString name = westernDefault(charset) ? QStringLiteral("windows-1252") : charset;
  const QByteArray latin = name.toLatin1();
  if (QStringDecoder probe(latin.constData()); probe.isValid()) {
    for (int b = 0; b < 128; ++b) {
      QStringDecoder one(latin.constData(), QStringConverter::Flag::Stateless);
      const char byte = char(0x80 + b);
      const QString c = one.decode(QByteArrayView(&byte, 1));
      if (!one.hasError() && c.size() == 1 && c[0] != QChar::ReplacementCharacter)
        table[b] = c[0].unicode();
    }
  }
  known.insert(charset, table);
  return table;
}

// The page's characters, one for each unit of the decoded text.
QString charactersOf(const TextBuffer& page, const pagesearch::PageCoding& coding) {
  if (page.encoding != TextEncoding::Bytes) return page.text;
  const HighBytes high = highBytesOf(coding.charset);
  QString mapped = page.text;
  char16_t* data = reinterpret_cast<char16_t*>(mapped.data());
  for (qsizetype i = 0, n = mapped.size(); i < n; ++i)
    if (data[i] >= kByteBase + 0x80 && data[i] <= kByteBase + 0xFF)
      data[i] = high[data[i] - kByteBase - 0x80];
  return mapped;
}

bool hasHighBytes(const QString& text) {
  for (const QChar c : text)
    if (c.unicode() >= kByteBase + 0x80 && c.unicode() <= kByteBase + 0xFF) return true;
  return false;
}

// The text a visitor reads, and where in the page each character comes from.
// Runs of text between tags are kept apart by kBoundary. Plain stretches are
// copied whole and mapped as one piece; a reference or a run of white space
// is one character standing for several of the page.
struct Visible {
  struct Piece {
    qsizetype at;    // first character of the piece in chars
    qsizetype from;  // where it starts in the page
    qsizetype to;    // where a one-character piece ends in the page
    bool plain;      // character k stands for page character from + (k - at)
  };
  QString chars;
  std::vector<Piece> pieces;
  bool spaceOpen = false;  // the last character is a space that may grow

  void reset() {
    chars.resize(0);  // keeps what was allocated
    pieces.clear();
    spaceOpen = false;
  }

  // otherSpace: the stretch holds white space other than ' ', which reads as ' '.
  void plain(QStringView s, qsizetype from, qsizetype to, bool otherSpace) {
    spaceOpen = false;
    const qsizetype at = chars.size();
    pieces.push_back({at, from, to, true});
    chars.append(s.sliced(from, to - from));
    if (!otherSpace) return;
    char16_t* data = reinterpret_cast<char16_t*>(chars.data());
    for (qsizetype k = at, n = chars.size(); k < n; ++k)
      if (isSpace(data[k])) data[k] = ' ';
  }
  void one(char16_t c, qsizetype from, qsizetype to) {
    if (isSpace(c)) {
      if (spaceOpen) {
        pieces.back().to = to;
        return;
      }
      c = ' ';
      spaceOpen = true;
    } else {
      spaceOpen = false;
    }
    pieces.push_back({chars.size(), from, to, false});
    chars.append(QChar(c));
  }
  void one32(char32_t c, qsizetype from, qsizetype to) {
    if (QChar::requiresSurrogates(c)) {
      one(QChar::highSurrogate(c), from, to);
      one(QChar::lowSurrogate(c), from, to);
    } else {
      one(char16_t(c), from, to);
    }
  }
  void boundary(qsizetype at) {
    spaceOpen = false;
    if (chars.isEmpty() || chars.back().unicode() == kBoundary) return;
    pieces.push_back({chars.size(), at, at, false});
    chars.append(QChar(kBoundary));
  }
  // The stretch of the page that character k of chars comes from.
  std::pair<qsizetype, qsizetype> source(qsizetype k) const {
    const auto piece = std::prev(std::upper_bound(
        pieces.begin(), pieces.end(), k, [](qsizetype at, const Piece& p) { return at < p.at; }));
    if (!piece->plain) return {piece->from, piece->to};
    const qsizetype from = piece->from + (k - piece->at);
    return {from, from + 1};
  }
};

// Where the tag starting at s[at] ("<" and a letter, or "</") ends: after its
// ">", quoted attribute values skipped whole.
qsizetype tagEnd(QStringView s, qsizetype at) {
  const qsizetype n = s.size();
  bool valueNext = false;
  for (qsizetype j = at + 1; j < n; ++j) {
    const char16_t c = s[j].unicode();
    if (c == '>') return j + 1;
    if (valueNext && (c == '"' || c == '\'')) {
      const qsizetype close = s.indexOf(QChar(c), j + 1);
      if (close < 0) return n;
      j = close;
      valueNext = false;
      continue;
    }
    if (c == '=')
      valueNext = true;
    else if (!isSpace(c))
      valueNext = false;
  }
  return n;
}

// Where the element's raw content ends: at "</name" followed by a space, "/" or ">".
qsizetype rawEnd(QStringView s, qsizetype from, QStringView name) {
  const qsizetype n = s.size();
  for (qsizetype j = s.indexOf(u"</", from); j >= 0; j = s.indexOf(u"</", j + 2)) {
    const qsizetype after = j + 2 + name.size();
    if (after > n) return n;
    if (s.sliced(j + 2, name.size()).compare(name, Qt::CaseInsensitive) != 0) continue;
    if (after == n || isSpace(s[after].unicode()) || s[after] == u'/' || s[after] == u'>') return j;
  }
  return n;
}

// Where the markup that starts at s[i] ends, or -1 when the "<" there is
// text. A title or textarea sets textEnd: its inside is text up to there.
qsizetype markupEnd(QStringView s, qsizetype i, qsizetype& textEnd) {
  static const std::array<QStringView, 7> rawText{u"script",  u"style",    u"xmp",      u"iframe",
                                                  u"noembed", u"noframes", u"plaintext"};
  static const std::array<QStringView, 2> rcdata{u"title", u"textarea"};
  const qsizetype n = s.size();
  if (i + 1 >= n) return -1;
  const char16_t next = s[i + 1].unicode();
  qsizetype end = -1;
  if (markupscan::commentAt(s, i)) {
    end = markupscan::commentEnd(s, i);
    if (end < 0) end = n;
  } else if (next == '!' || next == '?' ||
             (next == '/' && i + 2 < n && !isAsciiLetter(s[i + 2].unicode()))) {
    const qsizetype close = s.indexOf(u'>', i + 1);
    end = close < 0 ? n : close + 1;
  } else if (isAsciiLetter(next) || next == '/') {
    end = tagEnd(s, i);
    if (isAsciiLetter(next)) {
      qsizetype nameEnd = i + 1;
      while (nameEnd < n && !isSpace(s[nameEnd].unicode()) && s[nameEnd] != u'/' &&
             s[nameEnd] != u'>')
        ++nameEnd;
      const QStringView name = s.sliced(i + 1, nameEnd - i - 1);
      const auto is = [name](QStringView known) {
        return name.size() == known.size() && name.compare(known, Qt::CaseInsensitive) == 0;
      };
      for (QStringView raw : rawText)
        if (is(raw)) end = rawEnd(s, end, raw);
      for (QStringView rc : rcdata)
        if (is(rc)) textEnd = rawEnd(s, end, rc);
    }
  }
  return end;
}

// The visible text of s[from, to), a run with no markup in it; references
// are read within s[0, refsEnd).
void appendRun(Visible& v, QStringView s, qsizetype from, qsizetype to, qsizetype refsEnd) {
  qsizetype i = from;
  while (i < to) {
    const char16_t c = s[i].unicode();
    if (c == '&') {
      const htmlentities::Reference ref = htmlentities::decodeAt(s.first(refsEnd), i);
      if (ref.length > 0) {
        v.one32(ref.character, i, i + ref.length);
        i += ref.length;
        continue;
      }
    }
    if (c == '<' || c == '&' || isSpace(c)) {
      v.one(c, i, i + 1);
      ++i;
      continue;
    }
    // A plain stretch: no markup, no reference, and white space only as a
    // single character between two words (it reads as one space either way).
    const auto special = [](char16_t d) { return d == '<' || d == '&' || isSpace(d); };
    qsizetype j = i + 1;
    bool otherSpace = false;
    while (j < to) {
      const char16_t d = s[j].unicode();
      if (!special(d)) {
        ++j;
      } else if (isSpace(d) && j + 1 < to && !special(s[j + 1].unicode())) {
        otherSpace = otherSpace || d != ' ';
        j += 2;
      } else {
        break;
      }
    }
    v.plain(s, i, j, otherSpace);
    i = j;
  }
}

// The whole page's visible text, built character by character: the reference
// the search by runs below is checked against.
Visible visibleText(QStringView s) {
  Visible v;
  v.chars.reserve(s.size() / 2);
  v.pieces.reserve(s.size() / 16);
  const qsizetype n = s.size();
  qsizetype i = 0;
  qsizetype textEnd = n;  // inside a title or textarea: where its text ends
  while (i < n) {
    if (s[i] == u'<' && textEnd == n) {
      if (const qsizetype end = markupEnd(s, i, textEnd); end >= 0) {
        v.boundary(i);
        i = std::min(end, n);
        continue;
      }
    }
    if (i == textEnd) {
      textEnd = n;
      continue;  // the title's end tag, read as a tag
    }
    // Up to the next "<", or the end of a title's text.
    qsizetype to = textEnd;
    if (textEnd == n) {
      to = s.indexOf(u'<', i + 1);
      if (to < 0) to = n;
    }
    appendRun(v, s, i, to, textEnd);
    i = to;
  }
  return v;
}

// A stretch of text between two pieces of markup (or the page's ends).
struct Run final {
  qsizetype from = 0;
  qsizetype to = 0;
  qsizetype refsEnd = 0;     // references are read up to here
  bool markupAfter = false;  // a boundary follows its text
};

// Every run of the page that holds at least one character, in order; what
// lies between them is markup. The same walk as visibleText's, skipping text.
void runsOf(QStringView s, std::vector<Run>& runs) {
  runs.clear();
  const qsizetype n = s.size();
  qsizetype i = 0;
  qsizetype textEnd = n;
  while (i < n) {
    if (textEnd != n) {
      if (textEnd > i) runs.push_back({i, textEnd, textEnd, true});  // then its end tag
      i = textEnd;
      textEnd = n;
      continue;
    }
    qsizetype at = i;
    qsizetype end = -1;
    for (;;) {
      at = s.indexOf(u'<', at);
      if (at < 0) {
        at = n;
        break;
      }
      if ((end = markupEnd(s, at, textEnd)) >= 0) break;
      ++at;
    }
    if (at > i) runs.push_back({i, at, n, end >= 0});
    if (end < 0) break;
    i = std::min(end, n);
  }
}

void foldCase(QString& text) {
  char16_t* data = reinterpret_cast<char16_t*>(text.data());
  for (qsizetype i = 0, n = text.size(); i < n; ++i) data[i] = QChar::toCaseFolded(data[i]);
}

QString findTextFor(const pagesearch::Options& options) {
  QString find = options.find;
  find.remove(QChar(kBoundary));
  if (options.mode == Mode::Text) {
    QString collapsed;
    collapsed.reserve(find.size());
    for (const QChar c : find) {
      if (isSpace(c.unicode())) {
        if (!collapsed.endsWith(u' ')) collapsed += u' ';
      } else {
        collapsed += c;
      }
    }
    find = collapsed;
  }
  return find;
}

// Match starts and ends in the haystack, left to right, not overlapping.
QList<std::pair<qsizetype, qsizetype>> locate(QString haystack, QString needle,
                                              const pagesearch::Options& options) {
  QList<std::pair<qsizetype, qsizetype>> found;
  if (needle.isEmpty()) return found;
  const QString original = options.wholeWord ? haystack : QString();
  if (!options.matchCase) {
    foldCase(haystack);
    foldCase(needle);
  }
  const bool wordAtStart = options.wholeWord && isWordChar(needle.front());
  const bool wordAtEnd = options.wholeWord && isWordChar(needle.back());
  const qsizetype n = haystack.size();
  for (qsizetype at = haystack.indexOf(needle); at >= 0;) {
    const qsizetype end = at + needle.size();
    const bool startOk = !wordAtStart || at == 0 || !isWordChar(original[at - 1]);
    const bool endOk = !wordAtEnd || end == n || !isWordChar(original[end]);
    if (startOk && endOk) {
      found.append({at, end});
      at = haystack.indexOf(needle, end);
    } else {
      at = haystack.indexOf(needle, at + 1);
    }
  }
  return found;
}

// Text as the list shows it: on one line, each gap between words one space.
QString shown(QStringView text) {
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    if (c.unicode() == kBoundary || isSpace(c.unicode())) {
      if (!out.endsWith(u' ')) out += u' ';
    } else {
      out += c;
    }
  }
  return out;
}

// Whether a place in the decoded text can be told as a place in the file:
// every byte was read as one unit, or as UTF-8. A UTF-16 file read byte by
// byte has its letters between zero bytes, and a replacement of another
// length would shift every character after it.
bool byteOffsetsKnown(const TextBuffer& page) {
  switch (page.encoding) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
      return true;
    case TextEncoding::Bytes:
      return !page.text.startsWith(QStringView(u"\uF7FF\uF7FE")) &&
             !page.text.startsWith(QStringView(u"\uF7FE\uF7FF"));
    case TextEncoding::Utf16LeBom:
    case TextEncoding::Utf16BeBom:
      return false;  // the replacement's bytes would be written one per unit
  }
  return false;  // an encoding this walk does not know
}

// The line feeds of a stretch of text, and the UTF-8 bytes it takes past one
// per unit; four units at a time, since a search walks nearly all of a page.
struct UnitTally {
  qsizetype lineFeeds = 0;
  qsizetype extraUtf8 = 0;
};
UnitTally tallyUnits(const char16_t* from, const char16_t* to) {
  constexpr quint64 k1 = 0x0001000100010001ULL, k7FFF = k1 * 0x7FFF, k8000 = k1 * 0x8000;
  // Lanes whose top bit is set, when no other bit is; and lanes that are zero.
  const auto flagged = [](quint64 x) { return qsizetype(((x >> 15) * k1) >> 48); };
  const auto zero = [](quint64 x) { return ~(((x & k7FFF) + k7FFF) | x | k7FFF) & k8000; };
  const auto atLeast = [](quint64 x, quint64 bound) {  // bound at most 0x8000
    return (((x & k7FFF) + k1 * (0x8000 - bound)) | x) & k8000;
  };
  UnitTally t;
  const char16_t* c = from;
  for (; to - c >= 4; c += 4) {
    quint64 w;
    std::memcpy(&w, c, 8);
    t.lineFeeds += flagged(zero(w ^ (k1 * '\n')));
    t.extraUtf8 +=
        flagged(atLeast(w, 0x80)) + flagged(atLeast(w, 0x800)) -
        flagged(zero((w & (k1 * 0xF800)) ^ (k1 * 0xD800)));  // a surrogate: 4 bytes a pair
  }
  for (; c < to; ++c) {
    t.lineFeeds += qsizetype(*c == '\n');
    t.extraUtf8 +=
        qsizetype(*c >= 0x80) + qsizetype(*c >= 0x800) - qsizetype((*c & 0xF800) == 0xD800);
  }
  return t;
}

// Line numbers and file offsets of every match, in one walk over the text.
void placeMatches(QList<Match>& matches, const TextBuffer& page) {
  const QString& text = page.text;
  const char16_t* data = reinterpret_cast<const char16_t*>(text.constData());
  qsizetype at = 0;
  qsizetype bytes = page.encoding == TextEncoding::Utf8Bom ? 3 : 0;
  int line = 1;
  const bool oneBytePerUnit = page.encoding == TextEncoding::Bytes;
  // This walk covers the page up to its last match: the loop over every unit
  // is kept free of branches; a line break as a lone CR is found apart.
  auto walkTo = [&](qsizetype to) {
    const qsizetype n = text.size();
    const QStringView upTo = QStringView(text).first(to);
    for (qsizetype r = upTo.indexOf(u'\r', at); r >= 0; r = upTo.indexOf(u'\r', r + 1))
      line += int(r + 1 >= n || data[r + 1] != '\n');
    const UnitTally t = tallyUnits(data + at, data + to);
    line += int(t.lineFeeds);
    bytes += to - at + (oneBytePerUnit ? 0 : t.extraUtf8);
    at = to;
  };
  for (Match& m : matches) {
    walkTo(m.start);
    m.line = line;
    m.byteStart = bytes;
    walkTo(m.end);
    m.byteEnd = bytes;
  }
}

// A match at chars[start, end) of v as the list shows it.
Match matchIn(const Visible& v, qsizetype start, qsizetype end) {
  const QString& chars = v.chars;
  Match m;
  m.start = v.source(start).first;
  m.end = v.source(end - 1).second;
  m.before = shown(QStringView(chars).sliced(std::max<qsizetype>(0, start - kContext),
                                             std::min(start, kContext)));
  m.found = shown(QStringView(chars).sliced(start, end - start));
  m.after = shown(QStringView(chars).sliced(end).first(std::min(kContext, chars.size() - end)));
  return m;
}

// Case folded as locate folds, with letters A-Z done without a table.
void foldInto(QStringView text, QString& into) {
  into.resize(text.size());
  const char16_t* in = text.utf16();
  char16_t* out = reinterpret_cast<char16_t*>(into.data());
  for (qsizetype k = 0, n = text.size(); k < n; ++k) {
    const char16_t c = in[k];
    out[k] = c < 0x80 ? char16_t(c >= 'A' && c <= 'Z' ? c + 32 : c) : QChar::toCaseFolded(c);
  }
}

// The longest stretch of the find text without a space: the visible text of
// a run holding a match holds it.
QString keyOf(const QString& needle, const pagesearch::Options& options) {
  QString folded = needle;
  if (!options.matchCase) foldCase(folded);
  QStringView key;
  for (const QStringView word : QStringView(folded).split(u' '))
    if (word.size() > key.size()) key = word;
  return key.toString();
}

// Buffers kept from page to page, let go past this size.
constexpr qsizetype kKeptBuffer = qsizetype(4) << 20;

// Text mode without the whole page's visible text: only runs that may hold
// a match are read, with enough of their neighbours for the context shown.
// A run without a reference reads as its own characters with white space
// closed up, so it holds a match only where the page's characters hold the
// key; a run with a reference is always read. Empty when the find text has
// no key (only spaces).
std::optional<QList<Match>> findInRuns(const QString& characters, const QString& needle,
                                       const pagesearch::Options& options) {
  const QString key = keyOf(needle, options);
  if (key.isEmpty()) return std::nullopt;
  const QStringView s(characters);
  thread_local std::vector<Run> runs;
  thread_local QString foldedPage;
  QStringView hay = s;
  if (!options.matchCase) {
    foldInto(s, foldedPage);
    hay = foldedPage;
  }
  qsizetype hit = hay.indexOf(key);
  qsizetype amp = s.indexOf(u'&');
  const auto letGo = [] {
    if (foldedPage.capacity() > kKeptBuffer) foldedPage = QString();
  };
  if (hit < 0 && amp < 0) {  // no run can hold a match: the markup is not walked
    letGo();
    return QList<Match>();
  }
  runsOf(s, runs);
  std::vector<std::size_t> candidates;
  for (std::size_t r = 0; r < runs.size(); ++r) {
    while (hit >= 0 && hit < runs[r].from) hit = hay.indexOf(key, hit + 1);
    while (amp >= 0 && amp < runs[r].from) amp = s.indexOf(u'&', amp + 1);
    if ((hit >= 0 && hit + key.size() <= runs[r].to) || (amp >= 0 && amp < runs[r].to))
      candidates.push_back(r);
  }
  letGo();

  // What each run adds to the visible text, its boundary included.
  std::vector<qsizetype> lengths(candidates.empty() ? 0 : runs.size(), -1);
  thread_local Visible scratch;
  const auto lengthOf = [&](std::size_t r) {
    if (lengths[r] < 0) {
      scratch.reset();
      appendRun(scratch, s, runs[r].from, runs[r].to, runs[r].refsEnd);
      if (runs[r].markupAfter) scratch.boundary(runs[r].to);
      lengths[r] = scratch.chars.size();
    }
    return lengths[r];
  };
  // The last run a window needs so that kContext characters follow run r.
  const auto lastFor = [&](std::size_t r) {
    qsizetype after = 0;
    while (r + 1 < runs.size() && after <= kContext) after += lengthOf(++r);
    return r;
  };

  QList<Match> matches;
  thread_local Visible window;
  for (std::size_t c = 0; c < candidates.size();) {
    std::size_t first = candidates[c];
    for (qsizetype before = 0; first > 0 && before < kContext;) before += lengthOf(--first);
    std::size_t last = candidates[c];
    std::size_t end = c;  // candidates[c, end) lie in this window
    while (end < candidates.size() && candidates[end] <= last)
      last = std::max(last, lastFor(candidates[end++]));

    window.reset();
    std::vector<std::pair<qsizetype, qsizetype>> spans;
    for (std::size_t r = first, next = c; r <= last; ++r) {
      const qsizetype from = window.chars.size();
      appendRun(window, s, runs[r].from, runs[r].to, runs[r].refsEnd);
      if (next < end && candidates[next] == r) {
        spans.push_back({from, window.chars.size()});
        ++next;
      }
      if (runs[r].markupAfter) window.boundary(runs[r].to);
    }
    // No match crosses a boundary, so each run is searched on its own.
    for (const auto& [from, to] : spans)
      for (const auto& [start, stop] :
           locate(QStringView(window.chars).sliced(from, to - from).toString(), needle, options))
        matches.append(matchIn(window, from + start, from + stop));
    c = end;
  }
  if (window.chars.capacity() > kKeptBuffer) window = Visible();
  if (runs.capacity() > kKeptBuffer / qsizetype(sizeof(Run))) runs = std::vector<Run>();
  return matches;
}

}  // namespace

namespace pagesearch {

bool multiByteCharset(const QString& name) {
  // A replacement there could cut a character in two.
  static const std::array<QStringView, 15> prefixes{
      u"shift",    u"sjis",   u"x-sjis", u"windows-31j", u"euc-", u"x-euc", u"gb",     u"big5",
      u"iso-2022", u"utf-16", u"utf-32", u"hz-",         u"ks_c", u"cp9",   u"csshift"};
  for (QStringView p : prefixes)
    if (name.startsWith(p)) return true;
  return false;
}

PageCoding codingOf(const QByteArray& fileBytes, TextEncoding decodedAs) {
  PageCoding coding;
  coding.encoding = decodedAs;
  if (decodedAs == TextEncoding::Bytes) coding.charset = charsets::named(fileBytes);
  return coding;
}

namespace {

Found findMatchesBy(const TextBuffer& page, const PageCoding& coding, const Options& options,
                    bool byRuns) {
  Found result;
  const QString needle = findTextFor(options);
  if (needle.isEmpty()) return result;
  if (!byteOffsetsKnown(page)) {
    result.refused = QStringLiteral("it is written in UTF-16, which cannot be searched yet");
    return result;
  }
  if (page.encoding == TextEncoding::Bytes && pagesearch::multiByteCharset(coding.charset) &&
      hasHighBytes(page.text)) {
    result.refused =
        QStringLiteral("its character set (%1) cannot be searched").arg(coding.charset);
    return result;
  }
  const QString characters = charactersOf(page, coding);
  if (options.mode == Mode::Code) {
    for (const auto& [start, end] : locate(characters, needle, options)) {
      Match m;
      m.start = start;
      m.end = end;
      m.before =
          shown(QStringView(characters)
                    .sliced(std::max<qsizetype>(0, start - kContext), std::min(start, kContext)));
      m.found = shown(QStringView(characters).sliced(start, end - start));
      m.after = shown(
          QStringView(characters).sliced(end).first(std::min(kContext, characters.size() - end)));
      result.matches.append(m);
    }
  } else if (std::optional<QList<Match>> inRuns;
             byRuns && (inRuns = findInRuns(characters, needle, options))) {
    result.matches = std::move(*inRuns);
  } else {
    const Visible v = visibleText(characters);
    for (const auto& [start, end] : locate(v.chars, needle, options))
      result.matches.append(matchIn(v, start, end));
  }
  placeMatches(result.matches, page);
  return result;
}

}  // namespace

namespace {

// Characters outside ASCII whose case folds into it (the Kelvin sign to k): a
// page holding one needs the decoded search when the case does not count.
const QList<QByteArray>& foldingIntoAscii() {
  static const QList<QByteArray> found = [] {
    QList<QByteArray> out;
    for (char32_t c = 0x80; c <= 0xFFFF; ++c)
      if (!QChar::isSurrogate(c) && QChar::toCaseFolded(c) < 0x80)
        out.append(QString(QChar(c)).toUtf8());
    return out;
  }();
  return found;
}

bool continuation(char b) { return (uchar(b) & 0xC0) == 0x80; }

// The UTF-16 units and line feeds of a stretch of valid UTF-8, eight bytes at
// a time: a search of many pages walks nearly every byte of each.
struct Tally {
  qsizetype units = 0;
  qsizetype lineFeeds = 0;
};
Tally tallyUtf8(const char* from, const char* to) {
  constexpr quint64 k01 = 0x0101010101010101ULL, k7F = k01 * 0x7F, k80 = k01 * 0x80;
  // How many bytes have their high bit set, when no other bit is.
  const auto flagged = [](quint64 x) { return qsizetype(((x >> 7) * k01) >> 56); };
  Tally t;
  const char* b = from;
  for (; to - b >= 8; b += 8) {
    quint64 w;
    std::memcpy(&w, b, 8);
    const quint64 continuing = w & ~(w << 1) & k80;                  // 10xxxxxx
    const quint64 pairs = w & (w << 1) & (w << 2) & (w << 3) & k80;  // 11110xxx: two units
    const quint64 x = w ^ (k01 * '\n');
    const quint64 feeds = ~(((x & k7F) + k7F) | x | k7F);  // exactly the zero bytes of x
    t.units += 8 - flagged(continuing) + flagged(pairs);
    t.lineFeeds += flagged(feeds);
  }
  for (; b < to; ++b) {
    t.units += qsizetype(!continuation(*b)) + qsizetype(uchar(*b) >= 0xF0);
    t.lineFeeds += qsizetype(*b == '\n');
  }
  return t;
}

}  // namespace

bool codeInBytes(const Options& options) {
  return options.mode == Mode::Code && !options.wholeWord;
}

std::optional<Found> findCodeInUtf8(const QByteArray& fileBytes, TextEncoding encoding,
                                    const Options& options) {
  if (!codeInBytes(options)) return std::nullopt;
  if (encoding != TextEncoding::Utf8 && encoding != TextEncoding::Utf8Bom) return std::nullopt;
  Found result;
  const QString needle = findTextFor(options);
  if (needle.isEmpty()) return result;
  QByteArray find = needle.toUtf8();
  if (QString::fromUtf8(find) != needle) return std::nullopt;  // a lone surrogate matches nothing
  const qsizetype skipped = encoding == TextEncoding::Utf8Bom ? 3 : 0;
  const QByteArrayView page = QByteArrayView(fileBytes).sliced(skipped);
  QByteArray folded;
  QByteArrayView haystack = page;
  if (!options.matchCase) {
    if (charsets::firstNonAscii(find) != find.size()) return std::nullopt;
    for (const QByteArray& widening : foldingIntoAscii())
      if (page.contains(widening)) return std::nullopt;
    find = find.toLower();
    folded = page.toByteArray().toLower();
    haystack = folded;
  }
  // UTF-8 is self-synchronising: the needle's bytes found in valid UTF-8
  // begin and end on whole characters, as they do in the decoded text.
  const qsizetype n = page.size();
  const char* p = page.data();
  qsizetype at = 0, units = 0;
  int line = 1;
  const auto walkTo = [&](qsizetype to) {
    const Tally t = tallyUtf8(p + at, p + to);
    units += t.units;
    line += int(t.lineFeeds);
    for (const char* r = static_cast<const char*>(std::memchr(p + at, '\r', size_t(to - at))); r;
         r = static_cast<const char*>(std::memchr(r + 1, '\r', size_t(p + to - r - 1))))
      line += int(r + 1 == p + n || r[1] != '\n');  // a lone CR breaks a line too
    at = to;
  };
  // Enough bytes for kContext characters on either side, cut on whole characters.
  constexpr qsizetype kContextBytes = 4 * kContext + 4;
  for (qsizetype from = haystack.indexOf(find); from >= 0;
       from = haystack.indexOf(find, from + find.size())) {
    const qsizetype to = from + find.size();
    Match m;
    walkTo(from);
    m.start = units;
    m.line = line;
    walkTo(to);
    m.end = units;
    m.byteStart = skipped + from;
    m.byteEnd = skipped + to;
    qsizetype beforeFrom = std::max<qsizetype>(0, from - kContextBytes);
    while (beforeFrom < from && continuation(p[beforeFrom])) ++beforeFrom;
    const QString before = textcodec::fromValidUtf8(page.sliced(beforeFrom, from - beforeFrom));
    m.before = shown(QStringView(before).last(std::min(m.start, kContext)));
    m.found = shown(textcodec::fromValidUtf8(page.sliced(from, to - from)));
    qsizetype afterTo = std::min(n, to + kContextBytes);
    while (afterTo > to && afterTo < n && continuation(p[afterTo])) --afterTo;
    const QString after = textcodec::fromValidUtf8(page.sliced(to, afterTo - to));
    m.after = shown(QStringView(after).first(std::min(kContext, after.size())));
    result.matches.append(std::move(m));
  }
  return result;
}

Found findMatches(const TextBuffer& page, const PageCoding& coding, const Options& options) {
  return findMatchesBy(page, coding, options, true);
}

Found findMatchesWhole(const TextBuffer& page, const PageCoding& coding, const Options& options) {
  return findMatchesBy(page, coding, options, false);
}

QByteArray replacementBytes(const QString& replacement, Mode mode, const PageCoding& coding) {
  QString text = replacement;
  if (mode == Mode::Text) {
    text.replace(u'&', QStringLiteral("&amp;"));
    text.replace(u'<', QStringLiteral("&lt;"));
    text.replace(u'>', QStringLiteral("&gt;"));
  }
  if (coding.encoding != TextEncoding::Bytes) return text.toUtf8();
  // A page that names no charset is read in whatever the browser guesses:
  // only ASCII and references are right in all of them.
  const QString charset = coding.charset.isEmpty()         ? QStringLiteral("us-ascii")
                          : westernDefault(coding.charset) ? QStringLiteral("windows-1252")
                                                           : coding.charset;
  if (std::optional<QByteArray> bytes = pagetext::encodeIn(text, charset)) return *bytes;
  return *pagetext::encodeIn(text, QStringLiteral("us-ascii"));
}

QByteArray spliceBytes(const QByteArray& bytes, const QList<ByteRange>& ranges,
                       const QByteArray& with) {
  return splice::replaceRanges(bytes, ranges, QByteArrayView(with));
}

}  // namespace pagesearch
