#include "text/minimal_save.h"

#include "text/budget_compare.h"
#include "text/line_breaks.h"
#include "text/page_text.h"
#include "text/tag_forms.h"
#include "text/tag_respell.h"

namespace {

// Bounds that keep a save of a 10 MB page within a second or so: past them the
// caller writes the whole page instead.
constexpr qsizetype kCharDiffLimit = 64 * 1024;  // characters compared one by one
constexpr qint64 kCompareBudget = 200'000'000;   // comparisons in all
constexpr qsizetype kMaxContext = 4096;          // characters of markup around a change
constexpr std::size_t kMaxStretches = 100;
// A few characters of markup found once may still be the wrong place ("\n</"
// before the closing body tag) when the other side has more to say.
constexpr qsizetype kMinContext = 8;
// Changes closer than this are carried as one: a few characters of common
// text between two changes is no place to anchor anything.
constexpr qsizetype kJoinGap = 8;

struct Differ {
  Differ(const QString& b, const QString& a) : before(b), after(a) {}
  const QString& before;
  const QString& after;
  qint64 budget = kCompareBudget;
  std::vector<minimalsave::Stretch> out;

  bool spent() const { return budget <= 0; }

  void add(qsizetype from0, qsizetype to0, qsizetype from1, qsizetype to1) {
    if (from0 == to0 && from1 == to1) return;
    out.push_back({from0, to0, after.mid(from1, to1 - from1)});
  }

  // Character by character over before[b0, e0) and after[b1, e1).
  void chars(qsizetype b0, qsizetype e0, qsizetype b1, qsizetype e1) {
    while (b0 < e0 && b1 < e1 && before[b0] == after[b1]) ++b0, ++b1;
    while (b0 < e0 && b1 < e1 && before[e0 - 1] == after[e1 - 1]) --e0, --e1;
    if (b0 == e0 || b1 == e1) {
      add(b0, e0, b1, e1);
      return;
    }
    const std::vector<char16_t> a(before.utf16() + b0, before.utf16() + e0);
    const std::vector<char16_t> b(after.utf16() + b1, after.utf16() + e1);
    dtl::Diff<char16_t, std::vector<char16_t>, BudgetCompare<char16_t>> diff(
        a, b, BudgetCompare<char16_t>(&budget));
    diff.compose();
    if (spent()) return;
    walk(
        diff.getSes().getSequence(),
        [&](qsizetype i, qsizetype j) {
          return std::pair{b0 + i, b1 + j};
        },
        [&](qsizetype f0, qsizetype t0, qsizetype f1, qsizetype t1) { add(f0, t0, f1, t1); });
  }

  // Piece by piece (a piece ends after a line break or a tag's '>'), then
  // each changed run of pieces character by character.
  void pieces(qsizetype b0, qsizetype e0, qsizetype b1, qsizetype e1) {
    const auto cut = [](const QString& s, qsizetype b, qsizetype e) {
      std::vector<QStringView> parts;
      qsizetype start = b;
      for (qsizetype i = b; i < e; ++i)
        if (s[i] == u'\n' || s[i] == u'>') {
          parts.push_back(QStringView(s).mid(start, i + 1 - start));
          start = i + 1;
        }
      if (start < e) parts.push_back(QStringView(s).mid(start, e - start));
      return parts;
    };
    const std::vector<QStringView> a = cut(before, b0, e0);
    const std::vector<QStringView> b = cut(after, b1, e1);
    // Where each piece starts, to turn piece numbers into character positions.
    const auto starts = [](const std::vector<QStringView>& parts, qsizetype b) {
      std::vector<qsizetype> at{b};
      for (const QStringView p : parts) at.push_back(at.back() + p.size());
      return at;
    };
    const std::vector<qsizetype> at0 = starts(a, b0);
    const std::vector<qsizetype> at1 = starts(b, b1);
    dtl::Diff<QStringView, std::vector<QStringView>, BudgetCompare<QStringView>> diff(
        a, b, BudgetCompare<QStringView>(&budget));
    diff.compose();
    if (spent()) return;
    walk(
        diff.getSes().getSequence(),
        [&](qsizetype i, qsizetype j) {
          return std::pair{at0[std::size_t(i)], at1[std::size_t(j)]};
        },
        [&](qsizetype f0, qsizetype t0, qsizetype f1, qsizetype t1) { range(f0, t0, f1, t1); });
  }

  void range(qsizetype b0, qsizetype e0, qsizetype b1, qsizetype e1) {
    if ((e0 - b0) + (e1 - b1) <= kCharDiffLimit)
      chars(b0, e0, b1, e1);
    else
      add(b0, e0, b1, e1);  // too big to take apart: carried whole, if it can be placed
  }

  // Runs of deleted and added elements of an edit script, as ranges of
  // positions (pos maps element counts to positions in before and after).
  template <typename Ses, typename Pos, typename Run>
  static void walk(const Ses& ses, Pos pos, Run run) {
    qsizetype i = 0, j = 0, runI = -1, runJ = -1;
    const auto close = [&] {
      if (runI < 0) return;
      const auto [f0, f1] = pos(runI, runJ);
      const auto [t0, t1] = pos(i, j);
      run(f0, t0, f1, t1);
      runI = runJ = -1;
    };
    for (const auto& element : ses) {
      const dtl::edit_t type = element.second.type;
      if (type == dtl::SES_COMMON) {
        close();
        ++i, ++j;
        continue;
      }
      if (runI < 0) runI = i, runJ = j;
      if (type == dtl::SES_DELETE)
        ++i;
      else
        ++j;
    }
    close();
  }
};

// Joins stretches whose common text between them is too short to anchor,
// and widens each so it never splits a surrogate pair.
std::vector<minimalsave::Stretch> tidy(const QString& before, const QString& after,
                                       std::vector<minimalsave::Stretch> in) {
  // Work on positions in after too: the common text before a stretch has
  // the same length in both.
  struct Span {
    qsizetype f0, t0, f1, t1;
  };
  std::vector<Span> spans;
  qsizetype shift = 0;  // after position minus before position so far
  for (const minimalsave::Stretch& s : in) {
    const qsizetype f1 = s.from + shift;
    spans.push_back({s.from, s.to, f1, f1 + s.text.size()});
    shift += s.text.size() - (s.to - s.from);
  }
  const qsizetype n0 = before.size(), n1 = after.size();
  const auto low = [](const QString& t, qsizetype i) {
    return i < t.size() && t[i].isLowSurrogate();
  };
  const auto high = [](const QString& t, qsizetype i) {
    return i > 0 && t[i - 1].isHighSurrogate();
  };
  std::vector<Span> joined;
  for (Span s : spans) {
    while (s.f0 > 0 && s.f1 > 0 && (low(before, s.f0) || low(after, s.f1))) --s.f0, --s.f1;
    while (s.t0 < n0 && s.t1 < n1 && (high(before, s.t0) || high(after, s.t1))) ++s.t0, ++s.t1;
    if (!joined.empty() && s.f0 - joined.back().t0 < kJoinGap) {
      joined.back().t0 = s.t0;
      joined.back().t1 = s.t1;
    } else {
      joined.push_back(s);
    }
  }
  std::vector<minimalsave::Stretch> out;
  for (const Span& s : joined) out.push_back({s.f0, s.t0, after.mid(s.f1, s.t1 - s.f1)});
  return out;
}

// Up to two places at or past from where needle stands in file; an empty
// needle stands everywhere.
int occurrences(const QByteArray& file, const QByteArray& needle, qsizetype from,
                qsizetype* first) {
  if (needle.isEmpty()) return 2;
  const qsizetype at = file.indexOf(needle, std::max<qsizetype>(0, from));
  if (at < 0) return 0;
  *first = at;
  return file.indexOf(needle, at + 1) < 0 ? 1 : 2;
}

// One side's anchor: the longest markup next to the stretch that stands in
// the file with it, and whether that is in one place only.
struct Anchor {
  int count = 0;
  qsizetype at = -1;    // where the stretch's own bytes start in the file
  bool strong = false;  // long enough, or all there is on that side, to trust
};

// Only places at or past floor count: the changes before this one are placed
// already, and the file holds them in the same order.
template <typename Needle>
Anchor anchor(const QByteArray& file, qsizetype floor, qsizetype most, Needle needle) {
  qsizetype first = -1;
  qsizetype prefix = 0;
  const auto found = [&](qsizetype k) {
    const auto [bytes, lead] = needle(k);
    if (!bytes) return 0;
    const int n = occurrences(file, *bytes, floor - lead, &first);
    prefix = lead;
    return n;
  };
  qsizetype lo = 0, hi = most;
  if (found(0) == 0) return {};
  while (lo < hi) {
    const qsizetype mid = (lo + hi + 1) / 2;
    if (found(mid) > 0)
      lo = mid;
    else
      hi = mid - 1;
  }
  Anchor result;
  result.count = found(lo);
  result.at = first + prefix;
  result.strong = result.count == 1 && (lo >= kMinContext || lo == most);
  return result;
}

}  // namespace

namespace minimalsave {

std::optional<std::vector<Stretch>> stretches(const QString& before, const QString& after,
                                              QString* why) {
  const qsizetype n0 = before.size();
  const qsizetype n1 = after.size();
  qsizetype p = 0;
  while (p < n0 && p < n1 && before[p] == after[p]) ++p;
  qsizetype s = 0;
  while (s < n0 - p && s < n1 - p && before[n0 - 1 - s] == after[n1 - 1 - s]) ++s;
  Differ differ(before, after);
  if ((n0 - p - s) + (n1 - p - s) <= kCharDiffLimit)
    differ.chars(p, n0 - s, p, n1 - s);
  else
    differ.pieces(p, n0 - s, p, n1 - s);
  if (differ.spent()) {
    if (why) *why = QStringLiteral("the changes are too many to compare");
    return std::nullopt;
  }
  return tidy(before, after, std::move(differ.out));
}

std::optional<QByteArray> spell(const QString& text, const Spelling& spelling) {
  return spellBroken(text, spelling, spelling.crlf ? "\r\n" : "\n");
}

std::optional<QByteArray> spellBroken(const QString& text, const Spelling& spelling,
                                      QByteArrayView lineBreak) {
  const bool ascii =
      spelling.plainAscii && !spelling.charset.startsWith(u"utf-16", Qt::CaseInsensitive);
  std::optional<QByteArray> bytes =
      pagetext::encodeIn(text, ascii ? QStringLiteral("us-ascii") : spelling.charset);
  if (bytes) *bytes = linebreaks::spell(*bytes, lineBreak);
  return bytes;
}

}  // namespace minimalsave

namespace {

using minimalsave::Place;
using minimalsave::Spelling;
using minimalsave::Stretch;

// The file as searched: its bytes, and the same with ASCII letters in lower
// case, made when first needed (an upper-case page's tags).
struct Haystack {
  const QByteArray& bytes;
  std::optional<QByteArray> folded;
  const QByteArray& lower() {
    if (!folded) folded = bytes.toLower();
    return *folded;
  }
};

// Where before[stretch) stands in hay: the only place whose bytes match it
// together with the markup around it on at least one side. fold: hay is in
// lower case, and the markup is matched in lower case too.
std::optional<Place> locate(const QByteArray& hay, qsizetype floor, const QString& before,
                            const Stretch& stretch, const Spelling& spelling, bool fold,
                            QString* why) {
  const auto spelled = [&](qsizetype from, qsizetype to) -> std::optional<QByteArray> {
    std::optional<QByteArray> bytes = minimalsave::spell(before.mid(from, to - from), spelling);
    if (bytes && fold) *bytes = bytes->toLower();
    return bytes;
  };
  const std::optional<QByteArray> old = spelled(stretch.from, stretch.to);
  if (!old) {
    *why = QStringLiteral("the page's character set cannot be written");
    return std::nullopt;
  }
  // The markup k characters to the left (right), never half a surrogate pair.
  const auto left = [&](qsizetype k) -> std::pair<std::optional<QByteArray>, qsizetype> {
    qsizetype from = stretch.from - k;
    if (k > 0 && before[from].isLowSurrogate()) ++from;
    const std::optional<QByteArray> bytes = spelled(from, stretch.from);
    if (!bytes) return {std::nullopt, 0};
    return {*bytes + *old, bytes->size()};
  };
  const auto right = [&](qsizetype k) -> std::pair<std::optional<QByteArray>, qsizetype> {
    qsizetype to = stretch.to + k;
    if (k > 0 && before[to - 1].isHighSurrogate()) --to;
    const std::optional<QByteArray> bytes = spelled(stretch.to, to);
    if (!bytes) return {std::nullopt, 0};
    return {*old + *bytes, 0};
  };
  const Anchor l = anchor(hay, floor, std::min(stretch.from, kMaxContext), left);
  const Anchor r = anchor(hay, floor, std::min(before.size() - stretch.to, kMaxContext), right);
  if (l.count == 0 && r.count == 0) {
    *why = QStringLiteral("a changed stretch is written differently in the file");
    return std::nullopt;
  }
  // Both sides found once: they must agree. Else a strong side wins over a
  // weak one, and a weak side alone will do (the result is checked anyway).
  if (l.count == 1 && r.count == 1 && l.at != r.at && l.strong == r.strong) {
    *why = QStringLiteral("the markup around a change points to two places");
    return std::nullopt;
  }
  if (l.count == 1 && (l.strong || r.count != 1)) return Place{l.at, old->size()};
  if (r.count == 1) return Place{r.at, old->size()};
  *why = QStringLiteral("the markup around a change stands in more than one place");
  return std::nullopt;
}

// The file's lines and the markup before editing with their tags written one
// way, made when first needed: for pages whose tags the engine spells otherwise.
struct OneWay {
  tagforms::Forms<QString> before;
  tagforms::Forms<QByteArray> file;
};

// Whether position at of the engine's markup is inside a tag: after a "<"
// that starts one and before its ">". A "<" in a script, a style or other
// text the browser reads raw is text, not a tag.
bool insideTag(const QString& markup, qsizetype at) {
  if (at <= 0) return false;
  const qsizetype open = markup.lastIndexOf(u'<', at - 1);
  if (open < 0 || open + 1 >= markup.size() || markup.lastIndexOf(u'>', at - 1) > open)
    return false;
  // A tag's name: ASCII letters and digits, then a space, "/" or ">". Right
  // after the "<" is inside the tag too: the name follows.
  qsizetype end = open + 1 + (markup[open + 1] == u'/' ? 1 : 0);
  const qsizetype nameStart = end;
  while (end < markup.size() && markup[end].unicode() < 0x80 && markup[end].isLetterOrNumber())
    ++end;
  if (end == nameStart || end >= markup.size() || !markup[nameStart].isLetter()) return false;
  if (!markup[end].isSpace() && markup[end] != u'/' && markup[end] != u'>') return false;
  for (const char* raw : {"script", "style", "textarea", "title", "xmp"}) {
    const QString name = QString::fromLatin1(raw);
    const qsizetype starts = markup.lastIndexOf(u'<' + name, open, Qt::CaseInsensitive);
    const qsizetype ends =
        markup.lastIndexOf(QStringLiteral("</") + name, open, Qt::CaseInsensitive);
    if (starts >= 0 && starts != open && starts > ends) return false;
  }
  return true;
}

// Where before[stretch) stands in the file's lines (positions in the lines,
// at or past floor), matched as spelled, then in another case, then tag by
// tag by what each tag is. The last may widen the stretch to whole tags:
// stretch then grows, its text with it (shift: where after stands against
// before at the stretch).
std::optional<Place> place(Haystack& file, qsizetype floor, const QString& before,
                           const QString& after, Stretch& stretch, qsizetype shift,
                           Spelling spelling, std::optional<OneWay> (&oneWay)[2], QString* why) {
  // The file is searched with its line breaks read as the browser reads them.
  spelling.crlf = false;
  // A change inside a tag is placed as the whole tag: a value is written in
  // the file's own quotes, not where the engine's quotes would be.
  const bool inTag = insideTag(before, stretch.from);
  QString firstWhy;
  if (!inTag) {
    if (auto exact = locate(file.bytes, floor, before, stretch, spelling, false, why)) return exact;
    firstWhy = *why;
    if (auto folded = locate(file.lower(), floor, before, stretch, spelling, true, why))
      return folded;
  }
  // Tag by tag; then also without the tags the file may leave out and the
  // engine puts in (a paragraph's end, a table's body).
  for (const bool loose : {false, true}) {
    std::optional<OneWay>& way = oneWay[loose];
    if (!way) way = OneWay{tagforms::of(before, loose), tagforms::of(file.bytes, loose)};
    const qsizetype from = way->before.tagStart(stretch.from);
    const qsizetype to = std::max(from, way->before.tagEnd(stretch.to));
    const Stretch formed{way->before.toForm(from), way->before.toForm(to), {}};
    std::optional<Place> found;
    const qsizetype formFloor = way->file.toForm(way->file.tagStart(floor));
    if (formed.from >= 0 && formed.to >= formed.from)
      found = locate(way->file.text, formFloor, way->before.text, formed, spelling, false, why);
    if (!found) continue;
    const qsizetype at = way->file.toSource(found->at);
    const qsizetype end = way->file.toSource(found->at + found->length);
    if (at < 0 || end < at) continue;
    const qsizetype f1 = stretch.from + shift - (stretch.from - from);
    stretch.text = after.mid(f1, stretch.text.size() + (stretch.from - from) + (to - stretch.to));
    stretch.from = from;
    stretch.to = to;
    return Place{at, end - at, true};
  }
  if (!firstWhy.isEmpty()) *why = firstWhy;
  return std::nullopt;
}

// Changes inside one tag are carried as one: a tag the file spells its own
// way is placed whole, once, with all of them.
std::vector<Stretch> withinTagsJoined(const QString& before, std::vector<Stretch> in) {
  std::vector<Stretch> out;
  for (Stretch& s : in) {
    if (!out.empty()) {
      Stretch& last = out.back();
      const QStringView gap = QStringView(before).sliced(last.to, s.from - last.to);
      const bool inTag = insideTag(before, last.to);
      if (inTag && !gap.contains(u'>') && !gap.contains(u'<')) {
        last.text += gap.toString() + s.text;
        last.to = s.to;
        continue;
      }
    }
    out.push_back(std::move(s));
  }
  return out;
}

}  // namespace

namespace minimalsave {

Patch patch(const QByteArray& file, const QString& before, const QString& after,
            const Spelling& spelling) {
  Patch result;
  std::optional<std::vector<Stretch>> found = stretches(before, after, &result.why);
  if (!found) return result;
  *found = withinTagsJoined(before, std::move(*found));
  result.stretches = int(found->size());
  if (found->size() > kMaxStretches) {
    result.why = QStringLiteral("the changes are spread over too many places");
    return result;
  }
  // The engine's markup holds no CR: line breaks are matched as it reads
  // them. Markup that does hold one is matched byte for byte.
  linebreaks::Lines lines;
  if (before.contains(u'\r'))
    lines.text = file;
  else
    lines = linebreaks::lines(file);
  // New line breaks are written the way the file writes most of its own.
  const QByteArray lineBreak = file.contains('\r') && !before.contains(u'\r')
                                   ? lines.usual
                                   : QByteArray(spelling.crlf ? "\r\n" : "\n");
  Haystack hay{lines.text, std::nullopt};
  std::optional<OneWay> oneWay[2];  // tags as written; and without those a page may leave out
  QByteArray out;
  out.reserve(file.size() + 256);
  qsizetype done = 0;   // bytes of file already carried over
  qsizetype floor = 0;  // the same in the lines
  qsizetype shift = 0;  // where after stands against before, past the stretches so far
  for (Stretch stretch : *found) {
    const qsizetype grows = stretch.text.size() - (stretch.to - stretch.from);
    std::optional<Place> at =
        place(hay, floor, before, after, stretch, shift, spelling, oneWay, &result.why);
    shift += grows;
    if (!at) return result;
    floor = at->at + at->length;
    const qsizetype end = lines.fileAt(at->at + at->length);
    at->at = lines.fileAt(at->at);
    at->length = end - at->at;
    if (at->at < done) {
      result.why = QStringLiteral("the changes are in another order in the file");
      return result;
    }
    const auto spellText = [&](QStringView t) {
      return spellBroken(t.toString(), spelling, lineBreak);
    };
    std::optional<QByteArray> text;
    // Tags the file spells its own way keep that spelling: only the values
    // (or attributes) that changed are written.
    if (at->wholeTags)
      text = tagrespell::carry(QByteArrayView(file).sliced(at->at, at->length),
                               QStringView(before).sliced(stretch.from, stretch.to - stretch.from),
                               stretch.text, spellText);
    if (!text) text = spellText(stretch.text);
    if (!text) {
      result.why = QStringLiteral("the page's character set cannot be written");
      return result;
    }
    out += QByteArrayView(file).sliced(done, at->at - done);
    out += *text;
    done = at->at + at->length;
  }
  out += QByteArrayView(file).sliced(done);
  result.bytes = std::move(out);
  return result;
}

}  // namespace minimalsave
