#include "text/tag_respell.h"

#include <QList>
#include <algorithm>
#include <dtl/dtl.hpp>
#include <vector>

namespace {

inline char16_t charAt(QStringView s, qsizetype i) { return s[i].unicode(); }
inline char16_t charAt(QByteArrayView s, qsizetype i) { return char16_t(uchar(s[i])); }

bool isSpace(char16_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isAlpha(char16_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char16_t lower(char16_t c) { return c >= 'A' && c <= 'Z' ? char16_t(c + 32) : c; }

struct Token {
  qsizetype from = 0;
  qsizetype to = 0;
  bool tag = false;
};

// Tags and the text between them. A tag ends at the first '>' outside a
// quoted value; a comment or declaration is a token of its own that must
// stay as it is.
template <typename S>
std::optional<std::vector<Token>> tokens(S s) {
  std::vector<Token> out;
  const qsizetype n = s.size();
  qsizetype i = 0, text = 0;
  const auto flush = [&](qsizetype at) {
    if (at > text) out.push_back({text, at, false});
  };
  while (i < n) {
    if (charAt(s, i) != '<' || i + 1 >= n ||
        !(isAlpha(charAt(s, i + 1)) || charAt(s, i + 1) == '/' || charAt(s, i + 1) == '!')) {
      ++i;
      continue;
    }
    flush(i);
    qsizetype j = i + 1;
    char16_t quote = 0;
    bool afterEquals = false;
    for (; j < n; ++j) {
      const char16_t c = charAt(s, j);
      if (quote) {
        if (c == quote) quote = 0;
        continue;
      }
      if (c == '>') break;
      if ((c == '"' || c == '\'') && afterEquals) quote = c;
      if (c == '=')
        afterEquals = true;
      else if (!isSpace(c))
        afterEquals = false;
    }
    if (j >= n) return std::nullopt;  // a tag cut in two: not ours to carry
    out.push_back({i, j + 1, true});
    i = text = j + 1;
  }
  flush(n);
  return out;
}

struct Attr {
  QByteArray name;           // lower case
  qsizetype start = 0;       // where its name starts
  qsizetype end = 0;         // past its value (or name)
  qsizetype valueFrom = -1;  // the value with its quotes; -1: no value
  qsizetype valueTo = -1;
  char quote = 0;  // '"', '\'' or 0 (unquoted)
  QString value;   // as written, quotes off (engine tags only)
};

struct Tag {
  QByteArray name;  // lower case
  bool closing = false;
  bool upper = false;
  std::vector<Attr> attrs;
  qsizetype insertAt = 0;  // where a new attribute goes
};

template <typename S>
std::optional<Tag> parseTag(S s) {
  Tag tag;
  const qsizetype n = s.size() - 1;  // the closing '>'
  qsizetype j = 1;
  if (j < n && charAt(s, j) == '/') {
    tag.closing = true;
    ++j;
  }
  bool anyLower = false;
  while (j < n && !isSpace(charAt(s, j)) && charAt(s, j) != '/') {
    const char16_t c = charAt(s, j++);
    // Names are matched and written as ASCII: a tag named otherwise is not
    // respelled (its bytes and the engine's text would not line up).
    if (c > 0x7F) return std::nullopt;
    anyLower |= c >= 'a' && c <= 'z';
    tag.upper |= c >= 'A' && c <= 'Z';
    tag.name += char(lower(c));
  }
  tag.upper = tag.upper && !anyLower;
  if (tag.name.isEmpty() || !isAlpha(char16_t(tag.name[0]))) return std::nullopt;
  tag.insertAt = j;
  for (;;) {
    while (j < n && (isSpace(charAt(s, j)) || charAt(s, j) == '/')) ++j;
    if (j >= n) break;
    Attr a;
    a.start = j;
    while (j < n && !isSpace(charAt(s, j)) && charAt(s, j) != '=' && charAt(s, j) != '/') {
      if (charAt(s, j) > 0x7F) return std::nullopt;
      a.name += char(lower(charAt(s, j++)));
    }
    if (a.name.isEmpty()) return std::nullopt;
    a.end = j;
    qsizetype k = j;
    while (k < n && isSpace(charAt(s, k))) ++k;
    if (k < n && charAt(s, k) == '=') {
      ++k;
      while (k < n && isSpace(charAt(s, k))) ++k;
      a.valueFrom = k;
      if (k < n && (charAt(s, k) == '"' || charAt(s, k) == '\'')) {
        a.quote = char(charAt(s, k));
        qsizetype e = k + 1;
        while (e < n && charAt(s, e) != a.quote) ++e;
        if (e >= n) return std::nullopt;
        a.valueTo = e + 1;
      } else {
        qsizetype e = k;
        while (e < n && !isSpace(charAt(s, e))) ++e;
        a.valueTo = e;
      }
      for (qsizetype v = a.valueFrom + (a.quote ? 1 : 0); v < a.valueTo - (a.quote ? 1 : 0); ++v)
        a.value += QChar(charAt(s, v));
      a.end = j = a.valueTo;
    }
    tag.insertAt = a.end;
    tag.attrs.push_back(std::move(a));
  }
  return tag;
}

const Attr* find(const Tag& tag, const QByteArray& name) {
  const auto it = std::find_if(tag.attrs.begin(), tag.attrs.end(),
                               [&](const Attr& a) { return a.name == name; });
  return it == tag.attrs.end() ? nullptr : &*it;
}

bool needsQuotes(QStringView v) {
  if (v.isEmpty()) return true;
  return std::any_of(v.begin(), v.end(), [](QChar c) {
    return isSpace(c.unicode()) || c == u'"' || c == u'\'' || c == u'=' || c == u'<' || c == u'>' ||
           c == u'`';
  });
}

struct Edit {
  qsizetype at = 0;
  qsizetype length = 0;
  QByteArray bytes;
};

std::optional<QByteArray> respellTag(QByteArrayView file, QStringView before, QStringView after,
                                     const tagrespell::Spell& spell) {
  const std::optional<Tag> f = parseTag(file);
  const std::optional<Tag> b = parseTag(before);
  const std::optional<Tag> a = parseTag(after);
  if (!f || !b || !a || f->name != b->name || b->name != a->name || f->closing != b->closing ||
      b->closing != a->closing)
    return std::nullopt;
  // Attributes are found by name: a name written twice (the browser keeps
  // the first) would have one's change written into the other.
  const auto twice = [](const Tag& tag) {
    for (std::size_t i = 0; i < tag.attrs.size(); ++i)
      for (std::size_t j = i + 1; j < tag.attrs.size(); ++j)
        if (tag.attrs[i].name == tag.attrs[j].name) return true;
    return false;
  };
  if (twice(*f) || twice(*b) || twice(*a)) return std::nullopt;
  // A value that needs quotes gets the quote the tag already uses.
  char tagQuote = '"';
  for (const Attr& attr : f->attrs)
    if (attr.quote) {
      tagQuote = attr.quote;
      break;
    }
  const auto quoted = [&](const QString& value, char quote) -> std::optional<QByteArray> {
    QString v = value;
    // A value in quotes has its own quote written as a reference (the engine
    // writes '"' so, but a value it left unquoted may hold either).
    if (quote == '\'') v.replace(u'\'', QStringLiteral("&#39;"));
    if (quote == '"') v.replace(u'"', QStringLiteral("&quot;"));
    const std::optional<QByteArray> bytes = spell(v);
    if (!bytes) return std::nullopt;
    return quote ? QByteArray(1, quote) + *bytes + QByteArray(1, quote) : *bytes;
  };
  std::vector<Edit> edits;
  for (const Attr& attr : b->attrs) {
    if (find(*a, attr.name)) continue;
    const Attr* gone = find(*f, attr.name);
    if (!gone) return std::nullopt;
    qsizetype from = gone->start;
    while (from > 0 && isSpace(charAt(file, from - 1))) --from;
    edits.push_back({from, gone->end - from, {}});
  }
  for (const Attr& attr : a->attrs) {
    const Attr* was = find(*b, attr.name);
    if (was && was->value == attr.value) continue;
    if (was) {
      const Attr* own = find(*f, attr.name);
      if (!own) return std::nullopt;
      char quote = own->quote;
      if (!quote && needsQuotes(attr.value)) quote = tagQuote;
      const std::optional<QByteArray> value = quoted(attr.value, quote);
      if (!value) return std::nullopt;
      if (own->valueFrom < 0)
        edits.push_back({own->end, 0, '=' + *value});
      else
        edits.push_back({own->valueFrom, own->valueTo - own->valueFrom, *value});
      continue;
    }
    const std::optional<QByteArray> value = quoted(attr.value, tagQuote);
    if (!value) return std::nullopt;
    const QByteArray name = f->upper ? attr.name.toUpper() : attr.name;
    edits.push_back({f->insertAt, 0, ' ' + name + '=' + *value});
  }
  std::stable_sort(edits.begin(), edits.end(),
                   [](const Edit& x, const Edit& y) { return x.at < y.at; });
  QByteArray out;
  qsizetype done = 0;
  for (const Edit& e : edits) {
    if (e.at < done) return std::nullopt;
    out += file.sliced(done, e.at - done);
    out += e.bytes;
    done = e.at + e.length;
  }
  out += file.sliced(done);
  return out;
}

}  // namespace

namespace tagrespell {

std::optional<QByteArray> carry(QByteArrayView file, QStringView before, QStringView after,
                                const Spell& spell) {
  const auto f = tokens(file);
  const auto b = tokens(before);
  const auto a = tokens(after);
  if (!f || !b || !a || f->size() != b->size()) return std::nullopt;
  // The file's tokens must be the ones the engine read as before's: text
  // that reads otherwise (or a tag of another name) means the two do not
  // line up, and nothing is carried.
  const auto tagOf = [](const auto& s, const Token& t) {
    return t.tag ? parseTag(s.sliced(t.from, t.to - t.from)) : std::nullopt;
  };
  for (std::size_t i = 0; i < f->size(); ++i) {
    const Token& ft = (*f)[i];
    const Token& bt = (*b)[i];
    if (ft.tag != bt.tag) return std::nullopt;
    const QByteArrayView fileToken = file.sliced(ft.from, ft.to - ft.from);
    const QStringView beforeToken = before.sliced(bt.from, bt.to - bt.from);
    if (!ft.tag) {
      const std::optional<QByteArray> read = spell(beforeToken);
      if (!read || *read != fileToken) return std::nullopt;
      continue;
    }
    const auto fileTag = tagOf(file, ft);
    const auto beforeTag = tagOf(before, bt);
    if ((fileTag && beforeTag &&
         (fileTag->name != beforeTag->name || fileTag->closing != beforeTag->closing)) ||
        bool(fileTag) != bool(beforeTag))
      return std::nullopt;
  }
  // Before's tokens lined up with after's by what each is: a tag by its name,
  // text by its text. What is left over was taken out (the file's bytes go)
  // or put in (the engine's spelling comes).
  const auto keys = [&](const auto& s, const std::vector<Token>& tokens) {
    std::vector<QString> out;
    for (const Token& t : tokens) {
      const auto tag = tagOf(s, t);
      out.push_back(tag ? QString::fromLatin1((tag->closing ? "</" : "<") + tag->name)
                        : s.sliced(t.from, t.to - t.from).toString());
    }
    return out;
  };
  dtl::Diff<QString, std::vector<QString>> diff(keys(before, *b), keys(after, *a));
  diff.compose();
  QByteArray out;
  std::size_t i = 0, j = 0;
  for (const auto& element : diff.getSes().getSequence()) {
    const dtl::edit_t type = element.second.type;
    if (type == dtl::SES_DELETE) {
      ++i;
      continue;
    }
    const Token& at = (*a)[j++];
    const QStringView afterToken = after.sliced(at.from, at.to - at.from);
    std::optional<QByteArray> bytes;
    if (type == dtl::SES_ADD) {
      bytes = spell(afterToken);
    } else {
      const Token& ft = (*f)[i];
      const Token& bt = (*b)[i++];
      const QByteArrayView fileToken = file.sliced(ft.from, ft.to - ft.from);
      const QStringView beforeToken = before.sliced(bt.from, bt.to - bt.from);
      if (beforeToken == afterToken)
        bytes = fileToken.toByteArray();
      else if (!beforeToken.startsWith(u"<!"))
        bytes = respellTag(fileToken, beforeToken, afterToken, spell);
    }
    if (!bytes) return std::nullopt;
    out += *bytes;
  }
  return out;
}

}  // namespace tagrespell
