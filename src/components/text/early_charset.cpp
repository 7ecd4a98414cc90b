#include "text/early_charset.h"

#include <QList>
#include <QPair>
#include <optional>

#include "text/markup_scan.h"

namespace earlycharset {

namespace {

// The engine always reads this far for a declaration.
constexpr qsizetype kLookedAt = 1024;

using Attributes = QList<QPair<QByteArray, QByteArray>>;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool startsWithNoCase(const QByteArray& s, qsizetype at, QByteArrayView what) {
  return s.size() - at >= what.size() &&
         s.mid(at, what.size()).compare(what, Qt::CaseInsensitive) == 0;
}

// A start tag's attributes up to its '>', read as the engine's tokenizer reads
// them; nullopt for anything this reading might get wrong (a quote or '<'
// inside a name or an unquoted value, a tag not closed within the bytes).
std::optional<Attributes> readAttributes(const QByteArray& s, qsizetype& i) {
  Attributes attributes;
  for (;;) {
    while (i < s.size() && (isSpace(s[i]) || s[i] == '/')) ++i;
    if (i >= s.size()) return std::nullopt;
    if (s[i] == '>') {
      ++i;
      return attributes;
    }
    const qsizetype nameStart = i;
    while (i < s.size() && !isSpace(s[i]) && s[i] != '/' && s[i] != '>' && s[i] != '=') {
      if (s[i] == '"' || s[i] == '\'' || s[i] == '<') return std::nullopt;
      ++i;
    }
    const QByteArray name = s.mid(nameStart, i - nameStart).toLower();
    while (i < s.size() && isSpace(s[i])) ++i;
    QByteArray value;
    if (i < s.size() && s[i] == '=') {
      ++i;
      while (i < s.size() && isSpace(s[i])) ++i;
      if (i >= s.size()) return std::nullopt;
      if (s[i] == '"' || s[i] == '\'') {
        const qsizetype close = s.indexOf(s[i], i + 1);
        if (close < 0) return std::nullopt;
        value = s.mid(i + 1, close - i - 1);
        i = close + 1;
      } else {
        const qsizetype valueStart = i;
        while (i < s.size() && !isSpace(s[i]) && s[i] != '>') {
          if (s[i] == '"' || s[i] == '\'' || s[i] == '<' || s[i] == '=' || s[i] == '`')
            return std::nullopt;
          ++i;
        }
        value = s.mid(valueStart, i - valueStart);
      }
    }
    // A repeated attribute is dropped by the tokenizer: the first one counts.
    bool seen = false;
    for (const auto& a : attributes) seen = seen || a.first == name;
    if (!seen) attributes.append({name, value});
  }
}

// "text/html; charset=X" -> X, as the engine extracts it from a content
// attribute; empty when there is none or it is not closed.
QByteArray charsetInContent(const QByteArray& content) {
  const QByteArray lower = content.toLower();
  for (qsizetype at = lower.indexOf("charset"); at >= 0; at = lower.indexOf("charset", at + 1)) {
    qsizetype i = at + 7;
    while (i < content.size() && isSpace(content[i])) ++i;
    if (i >= content.size() || content[i] != '=') continue;
    ++i;
    while (i < content.size() && isSpace(content[i])) ++i;
    if (i >= content.size()) return {};
    if (content[i] == '"' || content[i] == '\'') {
      const qsizetype close = content.indexOf(content[i], i + 1);
      if (close < 0) return {};
      return content.mid(i + 1, close - i - 1);
    }
    qsizetype end = i;
    while (end < content.size() && !isSpace(content[end]) && content[end] != ';') ++end;
    return content.mid(i, end - i);
  }
  return {};
}

// What a <meta> declares, in the order the engine weighs its attributes:
// the first of charset= and content= counts, content= only with
// http-equiv="content-type".
QByteArray metaCharset(const Attributes& attributes) {
  bool pragma = false;
  bool fromContent = false;
  QByteArray charset;
  for (const auto& [name, value] : attributes) {
    if (name == "http-equiv") {
      pragma = pragma || value.trimmed().toLower() == "content-type";
    } else if (charset.isEmpty() && !fromContent) {
      if (name == "charset") return value.trimmed();
      if (name == "content") {
        charset = charsetInContent(value);
        fromContent = !charset.isEmpty();
      }
    }
  }
  if (!fromContent || !pragma) return {};
  return charset.trimmed();
}

}  // namespace

QByteArray labelOf(QByteArrayView head) {
  const QByteArray s = head.first(std::min(head.size(), kLookedAt)).toByteArray();
  if (s.startsWith("\xEF\xBB\xBF")) return "utf-8";
  qsizetype i = 0;
  for (;;) {
    while (i < s.size() && isSpace(s[i])) ++i;
    if (i >= s.size() || s[i] != '<') return {};
    if (markupscan::commentAt(QByteArrayView(s), i)) {
      // Only a plainly closed comment: where "<!-->", "--!>" and the like end
      // it, the engine's first look may read it otherwise.
      const qsizetype end = markupscan::commentEnd(QByteArrayView(s), i);
      if (end < 0 || end < i + 7 || s.mid(end - 3, 3) != "-->") return {};
      i = end;
      continue;
    }
    if (startsWithNoCase(s, i, "<!doctype") || startsWithNoCase(s, i, "<?")) {
      const qsizetype close = s.indexOf('>', i);
      if (close < 0) return {};
      i = close + 1;
      continue;
    }
    ++i;
    const qsizetype nameStart = i;
    if (i >= s.size() || !isLetter(s[i])) return {};
    while (i < s.size() && (isLetter(s[i]) || (s[i] >= '0' && s[i] <= '9'))) ++i;
    const QByteArray name = s.mid(nameStart, i - nameStart).toLower();
    if (i < s.size() && !isSpace(s[i]) && s[i] != '/' && s[i] != '>') return {};
    const std::optional<Attributes> attributes = readAttributes(s, i);
    if (!attributes) return {};
    if (name == "meta") {
      const QByteArray charset = metaCharset(*attributes);
      // The engine reads character references in the value; none is needed
      // in a label, so one here is not worth getting right.
      if (charset.contains('&')) return {};
      if (!charset.isEmpty()) return charset;
      continue;
    }
    if (name == "title") {
      // Its text is read up to the first "</title>", tags and all.
      qsizetype close = i;
      for (;; ++close) {
        close = s.indexOf("</", close);
        if (close < 0) return {};
        if (startsWithNoCase(s, close, "</title")) break;
      }
      if (close + 7 >= s.size() || s[close + 7] != '>') return {};
      i = close + 8;
      continue;
    }
    if (name != "html" && name != "head" && name != "link" && name != "base") return {};
  }
}

}  // namespace earlycharset
