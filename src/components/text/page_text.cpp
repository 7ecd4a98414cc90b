#include "text/page_text.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringEncoder>
#include <array>

namespace {

constexpr QByteArrayView kBom("\xEF\xBB\xBF");
constexpr qsizetype kCharsetSniffLength = 16 * 1024;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool isAscii(QByteArrayView bytes) {
  unsigned char any = 0;
  for (const char c : bytes) any |= static_cast<unsigned char>(c);
  return any < 0x80;
}

bool declaresCharset(QByteArrayView bytes) {
  static const QRegularExpression declaration(QStringLiteral(R"((?:charset|encoding)\s*=)"),
                                              QRegularExpression::CaseInsensitiveOption);
  return declaration
      .match(QString::fromLatin1(bytes.first(std::min(bytes.size(), kCharsetSniffLength))))
      .hasMatch();
}

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

// windows-1252 as browsers read it (ISO-8859-1 and US-ASCII pages too): the
// five bytes with no character of their own map to the C1 controls, so every
// byte the engine read comes back unchanged.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int windows1252Byte(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return int(cp);
  for (int i = 0; i < 32; ++i)
    if (kWindows1252High[i] == cp) return 0x80 + i;
  return -1;
}

QByteArray windows1252(const QString& text) {
  QByteArray out;
  out.reserve(text.size());
  forEachCodePoint(text, [&out](char32_t cp, qsizetype, int) {
    const int b = windows1252Byte(cp);
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
    if (rest.startsWith("<!--")) {
      // "<!-->" and "<!--->" are whole (empty) comments to a browser.
      if (rest.startsWith("<!-->"))
        end = 5;
      else if (rest.startsWith("<!--->"))
        end = 6;
      else if (const qsizetype close = rest.indexOf("-->", 4); close >= 0)
        end = close + 3;
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
  traits.plainAscii = isAscii(bytes) && !declaresCharset(bytes);
  const qsizetype firstLineEnd = bytes.indexOf('\n');
  traits.crlf = firstLineEnd > 0 && bytes[firstLineEnd - 1] == '\r';
  return traits;
}

QString declaredCharset(QByteArrayView bytes) {
  static const QRegularExpression declaration(
      QStringLiteral(R"((?:charset|encoding)\s*=\s*["']?\s*([A-Za-z0-9._:-]+))"),
      QRegularExpression::CaseInsensitiveOption);
  const auto match = declaration.match(
      QString::fromLatin1(bytes.first(std::min(bytes.size(), kCharsetSniffLength))));
  return match.hasMatch() ? match.captured(1).toLower() : QString();
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
