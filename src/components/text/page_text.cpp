#include "text/page_text.h"

#include <QHash>
#include <QStringEncoder>

#include "text/charsets.h"
#include "text/markup_scan.h"

namespace {

constexpr QByteArrayView kBom("\xEF\xBB\xBF");

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

void appendReference(QByteArray& out, char32_t codePoint) {
  out += "&#";
  out += QByteArray::number(static_cast<uint>(codePoint));
  out += ';';
}

// Walks text by code point, handing each to visit; a lone surrogate is passed
// as it stands (it can only be written as a reference).
template <typename Visit>
void forEachCodePoint(const QString& text, Visit visit) {
  const char16_t* data = reinterpret_cast<const char16_t*>(text.constData());
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = data[i];
    if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(data[i + 1])) {
      visit(QChar::surrogateToUcs4(c, data[i + 1]), i, 2);
      ++i;
    } else {
      visit(char32_t(c), i, 1);
    }
  }
}

QByteArray asciiWithReferences(const QString& text) {
  QByteArray out;
  out.reserve(text.size());
  forEachCodePoint(text, [&out](char32_t cp, qsizetype, int) {
    if (cp < 0x80)
      out += char(cp);
    else
      appendReference(out, cp);
  });
  return out;
}

QByteArray windows1252(const QString& text) {
  QByteArray out;
  out.reserve(text.size());
  forEachCodePoint(text, [&out](char32_t cp, qsizetype, int) {
    const int b = charsets::toWindows1252(cp);
    if (b >= 0)
      out += char(b);
    else
      appendReference(out, cp);
  });
  return out;
}

// Any other charset through the platform's converter. It reports that some
// character could not be written but not which, and keeps reporting it, so a
// piece that fails is redone a character at a time with fresh converters
// (one per distinct character).
std::optional<QByteArray> throughConverter(const QString& text, const QString& charset) {
  const QByteArray name = charset.toLatin1();
  const auto converter = [&name] {
    return QStringEncoder(name.constData(), QStringConverter::Flag::Stateless);
  };
  if (!converter().isValid()) return std::nullopt;
  constexpr qsizetype kPiece = 4096;
  QHash<char32_t, QByteArray> single;
  QByteArray out;
  out.reserve(text.size());
  for (qsizetype from = 0; from < text.size();) {
    qsizetype len = std::min(kPiece, text.size() - from);
    if (from + len < text.size() && text.at(from + len - 1).isHighSurrogate()) --len;
    const QString piece = text.mid(from, len);
    QStringEncoder encoder = converter();
    const QByteArray bytes = encoder.encode(piece);
    if (!encoder.hasError()) {
      out += bytes;
    } else {
      forEachCodePoint(piece, [&](char32_t cp, qsizetype at, int units) {
        if (cp < 0x80) {
          out += char(cp);
          return;
        }
        auto known = single.find(cp);
        if (known == single.end()) {
          QStringEncoder one = converter();
          QByteArray encoded = one.encode(QStringView(piece).mid(at, units));
          if (one.hasError() || encoded.isEmpty()) encoded.clear();
          known = single.insert(cp, encoded);
        }
        if (known->isEmpty())
          appendReference(out, cp);
        else
          out += *known;
      });
    }
    from += len;
  }
  return out;
}

QString withCrlf(const QString& text) {
  QString out;
  out.reserve(text.size() + text.size() / 32);
  QChar previous;
  for (const QChar c : text) {
    if (c == u'\n' && previous != u'\r') out += u'\r';
    out += c;
    previous = c;
  }
  return out;
}

}  // namespace

namespace pagetext {

QByteArray prologueOf(QByteArrayView bytes) {
  if (bytes.startsWith(kBom)) bytes = bytes.sliced(kBom.size());
  qsizetype at = 0;
  const qsizetype n = bytes.size();
  while (at < n) {
    if (isSpace(bytes[at])) {
      ++at;
      continue;
    }
    const QByteArrayView rest = bytes.sliced(at);
    qsizetype end = -1;
    if (markupscan::commentAt(rest, 0)) {
      end = markupscan::commentEnd(rest, 0);
    } else if (rest.startsWith("<!") || rest.startsWith("<?")) {
      if (const qsizetype close = rest.indexOf('>'); close >= 0) end = close + 1;
    }
    if (end < 0) break;
    at += end;
  }
  return bytes.first(at).toByteArray();
}

FileTraits traitsOf(QByteArrayView bytes) {
  FileTraits traits;
  traits.prologue = prologueOf(bytes);
  traits.bom = bytes.startsWith(kBom);
  traits.plainAscii = charsets::isAscii(bytes) && charsets::named(bytes).isEmpty();
  const qsizetype firstLineEnd = bytes.indexOf('\n');
  traits.crlf = firstLineEnd > 0 && bytes[firstLineEnd - 1] == '\r';
  return traits;
}

std::optional<QByteArray> encodeIn(const QString& text, const QString& charset) {
  const QString name = charset.toLower();
  if (name == u"utf-8") return text.toUtf8();
  if (name == u"windows-1252") return windows1252(text);
  if (name == u"us-ascii") return asciiWithReferences(text);
  // A UTF-16 page would need its prologue read in UTF-16 as well.
  if (name.startsWith(u"utf-16")) return std::nullopt;
  return throughConverter(text, charset);
}

std::optional<QByteArray> savedBytes(const FileTraits& file, const QString& markup,
                                     const QString& charset) {
  const QString text = file.crlf ? withCrlf(markup) : markup;
  const bool utf8 = charset.compare(u"utf-8", Qt::CaseInsensitive) == 0;
  std::optional<QByteArray> body =
      file.plainAscii && !charset.startsWith(u"utf-16", Qt::CaseInsensitive)
          ? asciiWithReferences(text)
          : encodeIn(text, charset);
  if (!body) return std::nullopt;
  QByteArray out;
  out.reserve(kBom.size() + file.prologue.size() + body->size());
  if (file.bom && utf8) out += kBom;
  out += file.prologue;
  out += *body;
  return out;
}

}  // namespace pagetext
