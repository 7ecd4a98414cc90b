#include "text/tag_forms.h"

#include <algorithm>

#include "text/html_entities.h"
#include "text/markup_scan.h"

namespace {

char16_t at(const QString& s, qsizetype i) { return s[i].unicode(); }
QStringView view(const QString& s) { return s; }
QByteArrayView view(const QByteArray& s) { return s; }
char16_t at(const QByteArray& s, qsizetype i) { return char16_t(uchar(s[i])); }

bool isSpace(char16_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isAlpha(char16_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char16_t lower(char16_t c) { return c >= 'A' && c <= 'Z' ? char16_t(c + 32) : c; }

template <typename S>
void put(S& out, char16_t c) {
  if constexpr (std::is_same_v<S, QString>)
    out += QChar(c);
  else
    out += char(c);
}

template <typename S>
void put(S& out, const S& s, qsizetype from, qsizetype to) {
  out += s.sliced(from, to - from);
}

// The one-way form of the tag starting at i, and where it ends; false when
// what starts there is not a whole tag.
template <typename S>
bool tag(const S& s, qsizetype i, S& form, qsizetype* end) {
  const qsizetype n = s.size();
  qsizetype j = i + 1;
  put(form, u'<');
  if (j < n && at(s, j) == '/') {
    put(form, u'/');
    ++j;
  }
  while (j < n && !isSpace(at(s, j)) && at(s, j) != '/' && at(s, j) != '>')
    put(form, lower(at(s, j++)));
  for (;;) {
    while (j < n && (isSpace(at(s, j)) || at(s, j) == '/')) ++j;
    if (j >= n) return false;
    if (at(s, j) == '>') break;
    put(form, u' ');
    while (j < n && !isSpace(at(s, j)) && at(s, j) != '=' && at(s, j) != '>' && at(s, j) != '/')
      put(form, lower(at(s, j++)));
    qsizetype k = j;
    while (k < n && isSpace(at(s, k))) ++k;
    S value;
    if (k < n && at(s, k) == '=') {
      j = k + 1;
      while (j < n && isSpace(at(s, j))) ++j;
      if (j >= n) return false;
      const char16_t quote = at(s, j);
      qsizetype from = j, to = j;
      if (quote == '"' || quote == '\'') {
        from = j + 1;
        to = from;
        while (to < n && at(s, to) != quote) ++to;
        if (to >= n) return false;
        j = to + 1;
      } else {
        while (to < n && !isSpace(at(s, to)) && at(s, to) != '>') ++to;
        j = to;
      }
      value = s.mid(from, to - from);
      if constexpr (std::is_same_v<S, QString>)
        value.replace(QStringLiteral("&quot;"), QStringLiteral("\""))
            .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
      else
        value.replace("&quot;", "\"").replace("&amp;", "&");
    }
    put(form, u'=');
    put(form, u'"');
    form += value;
    put(form, u'"');
  }
  put(form, u'>');
  *end = j + 1;
  return true;
}

// A declaration the browser reads as a comment ("<![if !vml]>", "<?xml ?>")
// in the form the engine writes that comment, and where it ends; false for a
// doctype and for what is no such declaration.
template <typename S>
bool bogusComment(const S& s, qsizetype i, S& form, qsizetype* end) {
  const qsizetype n = s.size();
  if (at(s, i) != '<' || i + 1 >= n || (at(s, i + 1) != '!' && at(s, i + 1) != '?')) return false;
  static const char kDoctype[] = "!doctype";
  qsizetype k = 0;
  while (k < 8 && i + 1 + k < n && lower(at(s, i + 1 + k)) == char16_t(kDoctype[k])) ++k;
  if (k == 8) return false;
  const qsizetype data = i + (at(s, i + 1) == '!' ? 2 : 1);
  qsizetype close = data;
  while (close < n && at(s, close) != '>') ++close;
  for (const char c : {'<', '!', '-', '-'}) put(form, char16_t(c));
  put(form, s, data, close);
  for (const char c : {'-', '-', '>'}) put(form, char16_t(c));
  *end = close < n ? close + 1 : n;
  return true;
}

// A character reference the engine writes otherwise ("&nbsp" without its
// ";", "&#160;", "&#65;") in the engine's form, and where it ends; false
// when the engine writes it the same or as a character the file may encode
// its own way.
template <typename S>
bool reference(const S& s, qsizetype i, S& form, qsizetype* end) {
  if (at(s, i) != '&') return false;
  const qsizetype window = std::min<qsizetype>(s.size() - i, 40);
  QString text;
  for (qsizetype k = 0; k < window; ++k) text += QChar(at(s, i + k));
  const htmlentities::Reference ref = htmlentities::decodeAt(text, 0);
  if (ref.length == 0) return false;
  const char* spelled = ref.character == '&'    ? "&amp;"
                        : ref.character == '<'  ? "&lt;"
                        : ref.character == '>'  ? "&gt;"
                        : ref.character == 0xA0 ? "&nbsp;"
                        : ref.character < 0x80  ? nullptr
                                                : "";
  if (spelled && !*spelled) return false;
  const QString canonical =
      spelled ? QString::fromLatin1(spelled) : QString(QChar(char16_t(ref.character)));
  if (text.first(ref.length) == canonical) return false;
  for (const QChar c : canonical) put(form, c.unicode());
  *end = i + ref.length;
  return true;
}

// Tags the browser adds where a page leaves them out: end tags it may omit,
// and start tags without attributes it may imply.
template <typename S>
bool impliable(const S& form) {
  static const char* const kTags[] = {
      "</p>",    "</li>",  "</dt>",    "</dd>",    "</option>", "</optgroup>", "</tr>",
      "</td>",   "</th>",  "</thead>", "</tbody>", "</tfoot>",  "</colgroup>", "</caption>",
      "</rb>",   "</rt>",  "</rtc>",   "</rp>",    "</html>",   "</head>",     "</body>",
      "<tbody>", "<html>", "<head>",   "<body>"};
  for (const char* tag : kTags) {
    if constexpr (std::is_same_v<S, QString>) {
      if (form == QLatin1StringView(tag)) return true;
    } else if (form == tag) {
      return true;
    }
  }
  return false;
}

template <typename S>
tagforms::Forms<S> formsOf(const S& s, bool loose) {
  tagforms::Forms<S> out;
  out.sourceSize = s.size();
  out.text.reserve(s.size());
  const qsizetype n = s.size();
  const auto textHere = [&](qsizetype i) {
    if (out.tokens.empty() || out.tokens.back().tag)
      out.tokens.push_back({out.text.size(), i, false});
  };
  for (qsizetype i = 0; i < n;) {
    if (markupscan::commentAt(view(s), i)) {
      // A comment stays as written, tags in it too.
      qsizetype end = markupscan::commentEnd(view(s), i);
      if (end < 0) end = n;
      textHere(i);
      put(out.text, s, i, end);
      i = end;
      continue;
    }
    const bool opens =
        at(s, i) == '<' && i + 1 < n &&
        (isAlpha(at(s, i + 1)) || (at(s, i + 1) == '/' && i + 2 < n && isAlpha(at(s, i + 2))));
    S form;
    qsizetype end = 0;
    if (bogusComment(s, i, form, &end) || reference(s, i, form, &end)) {
      // Lines up as a whole with what the engine writes, like a tag.
      out.tokens.push_back({out.text.size(), i, true});
      out.text += form;
      i = end;
      continue;
    }
    if (opens && tag(s, i, form, &end)) {
      out.tokens.push_back({out.text.size(), i, true});
      if (!loose || !impliable(form)) out.text += form;
      i = end;
      continue;
    }
    textHere(i);
    put(out.text, at(s, i));
    ++i;
  }
  return out;
}

}  // namespace

namespace tagforms {

template <typename S>
qsizetype Forms<S>::toForm(qsizetype source) const {
  if (source >= sourceSize) return source == sourceSize ? text.size() : -1;
  auto t = std::upper_bound(tokens.begin(), tokens.end(), source,
                            [](qsizetype v, const Token& k) { return v < k.source; });
  if (t == tokens.begin()) return source;
  --t;
  if (!t->tag) return t->form + (source - t->source);
  return source == t->source ? t->form : -1;
}

template <typename S>
qsizetype Forms<S>::toSource(qsizetype form) const {
  if (form > text.size()) return -1;
  // Where tags left out of the text stand, the place before them.
  const auto first = std::lower_bound(tokens.begin(), tokens.end(), form,
                                      [](const Token& k, qsizetype v) { return k.form < v; });
  if (first != tokens.end() && first->form == form) return first->source;
  if (form == text.size()) return sourceSize;
  auto t = std::upper_bound(tokens.begin(), tokens.end(), form,
                            [](qsizetype v, const Token& k) { return v < k.form; });
  if (t == tokens.begin()) return form;
  --t;
  if (!t->tag) return t->source + (form - t->form);
  return form == t->form ? t->source : -1;
}

template <typename S>
qsizetype Forms<S>::tagStart(qsizetype at) const {
  auto t = std::upper_bound(tokens.begin(), tokens.end(), at,
                            [](qsizetype v, const Token& k) { return v < k.source; });
  if (t == tokens.begin()) return at;
  --t;
  return t->tag ? t->source : at;
}

template <typename S>
qsizetype Forms<S>::tagEnd(qsizetype at) const {
  if (at <= 0) return at;
  auto t = std::upper_bound(tokens.begin(), tokens.end(), at - 1,
                            [](qsizetype v, const Token& k) { return v < k.source; });
  if (t == tokens.begin()) return at;
  const auto next = t;
  --t;
  if (!t->tag) return at;
  return next == tokens.end() ? sourceSize : next->source;
}

template struct Forms<QString>;
template struct Forms<QByteArray>;

Forms<QString> of(const QString& markup, bool loose) { return formsOf(markup, loose); }
Forms<QByteArray> of(const QByteArray& markup, bool loose) { return formsOf(markup, loose); }

}  // namespace tagforms
