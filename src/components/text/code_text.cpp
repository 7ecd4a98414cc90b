#include "text/code_text.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <limits>

#include "text/charsets.h"
#include "text/markup_scan.h"
#include "text/text_codec.h"

namespace codetext {
namespace {

bool isContinuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

bool isLatinLabel(const QString& name) {
  static const std::array<QString, 15> labels = {
      QStringLiteral("windows-1252"),  QStringLiteral("cp1252"),
      QStringLiteral("x-cp1252"),      QStringLiteral("iso-8859-1"),
      QStringLiteral("iso8859-1"),     QStringLiteral("iso_8859-1"),
      QStringLiteral("latin1"),        QStringLiteral("l1"),
      QStringLiteral("us-ascii"),      QStringLiteral("ascii"),
      QStringLiteral("cp819"),         QStringLiteral("ibm819"),
      QStringLiteral("iso-ir-100"),    QStringLiteral("csisolatin1"),
      QStringLiteral("ansi_x3.4-1968")};
  return std::find(labels.begin(), labels.end(), name) != labels.end();
}

void appendUtf8(QByteArray& out, char32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

QByteArray fromWindows1252(QByteArrayView bytes) {
  // Sized exactly first: a big page is not copied again as the text grows.
  qsizetype size = 0;
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    size += b < 0x80 ? 1 : charsets::fromWindows1252(b) < 0x800 ? 2 : 3;
  }
  QByteArray out;
  out.reserve(size);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80)
      out += c;
    else
      appendUtf8(out, charsets::fromWindows1252(b));
  }
  return out;
}

void appendReference(QByteArray& out, char32_t cp) {
  out += "&#" + QByteArray::number(static_cast<uint>(cp)) + ';';
}

// The usual line break among the first megabyte's.
QByteArray usualBreak(QByteArrayView text) {
  const qsizetype n = std::min<qsizetype>(text.size(), 1 << 20);
  qsizetype lf = 0, crlf = 0, cr = 0;
  for (qsizetype i = 0; i < n; ++i) {
    if (text[i] == '\n') {
      ++lf;
    } else if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') {
        ++crlf;
        ++i;
      } else {
        ++cr;
      }
    }
  }
  if (crlf >= lf && crlf >= cr && crlf > 0) return "\r\n";
  if (cr > lf) return "\r";
  return "\n";
}

// UTF-8 as characters, a leading U+FEFF included: QString::fromUtf8 drops
// one as a byte order mark, and a stretch of a page may begin with one.
QString charactersOf(QByteArrayView utf8) {
  QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                     QStringConverter::Flag::ConvertInitialBom);
  return decoder.decode(utf8);
}

bool readsBackExactly(const QByteArray& file, const QByteArray& name, QString* text) {
  QStringDecoder decoder(name.constData(), QStringDecoder::Flag::Stateless);
  if (!decoder.isValid()) return false;
  *text = decoder.decode(file);
  if (decoder.hasError()) return false;
  QStringEncoder encoder(name.constData(), QStringEncoder::Flag::Stateless);
  const QByteArray back = encoder.encode(*text);
  return !encoder.hasError() && back == file;
}

// UTF-8 bytes of the character a UTF-16 code unit starts; 4 for a pair
// (two units), 1 for a lone surrogate (shown as '?').
int utf8Width(char16_t unit, char16_t next, bool hasNext) {
  if (unit < 0x80) return 1;
  if (unit < 0x800) return 2;
  if (!QChar::isSurrogate(unit)) return 3;
  return QChar::isHighSurrogate(unit) && hasNext && QChar::isLowSurrogate(next) ? 4 : 1;
}

struct Walked {
  qsizetype at;    // file position reached
  qsizetype seen;  // bytes of shown text passed
};

// From file position `from`, over whole characters until `textBytes` bytes of
// shown text are passed (or the file ends), walking the file itself.
Walked walk(const QByteArray& file, const Shown& shown, qsizetype from, qsizetype textBytes) {
  qsizetype at = from, seen = 0;
  switch (shown.charset) {
    case Charset::Utf8:
    case Charset::Other:
      at = from + std::min(textBytes, file.size() - from);
      return {at, at - from};
    case Charset::Windows1252:
      while (seen < textBytes && at < file.size()) {
        // Plain ASCII eight bytes at a time: a big page is walked for every save.
        if (textBytes - seen >= 8 && file.size() - at >= 8) {
          quint64 word = 0;
          std::memcpy(&word, file.constData() + at, 8);
          if (!(word & 0x8080808080808080ULL)) {
            at += 8;
            seen += 8;
            continue;
          }
        }
        const auto b = static_cast<unsigned char>(file[at++]);
        seen += b < 0x80 ? 1 : charsets::fromWindows1252(b) < 0x800 ? 2 : 3;
      }
      return {at, seen};
    case Charset::Utf16Le:
    case Charset::Utf16Be: {
      const bool little = shown.charset == Charset::Utf16Le;
      const auto unitAt = [&](qsizetype i) -> char16_t {
        return little ? qFromLittleEndian<char16_t>(file.constData() + i)
                      : qFromBigEndian<char16_t>(file.constData() + i);
      };
      while (seen < textBytes && at + 1 < file.size()) {
        const bool hasNext = at + 3 < file.size();
        const int width = utf8Width(unitAt(at), hasNext ? unitAt(at + 2) : 0, hasNext);
        seen += width;
        at += width == 4 ? 4 : 2;
      }
      return {at, seen};
    }
  }
  return {at, seen};
}

qsizetype walkFile(const QByteArray& file, const Shown& shown, qsizetype from,
                   qsizetype textBytes) {
  return walk(file, shown, from, textBytes).at;
}

// The shown text of the file's bytes [from, to) (character starts).
QByteArray textOfFile(const QByteArray& file, const Shown& shown, qsizetype from, qsizetype to) {
  const QByteArrayView bytes = QByteArrayView(file).sliced(from, to - from);
  // An empty stretch may have no bytes behind it at all (a page not held).
  if (bytes.isEmpty()) return {};
  switch (shown.charset) {
    case Charset::Utf8:
      return bytes.toByteArray();
    case Charset::Windows1252:
      return fromWindows1252(bytes);
    case Charset::Utf16Le:
    case Charset::Utf16Be: {
      QString text(bytes.size() / 2, Qt::Uninitialized);
      if (shown.charset == Charset::Utf16Le)
        qFromLittleEndian<char16_t>(bytes.data(), text.size(), text.data());
      else
        qFromBigEndian<char16_t>(bytes.data(), text.size(), text.data());
      return text.toUtf8();
    }
    case Charset::Other:
      break;
  }
  return {};
}

// The file position of shown position `at` (at a character's start).
qsizetype filePos(const Shown& shown, qsizetype at) {
  const QByteArrayView head(shown.text.constData(), at);
  switch (shown.charset) {
    case Charset::Utf8:
      return shown.start + at;
    case Charset::Windows1252:
      return shown.start + at - std::count_if(head.begin(), head.end(), isContinuation);
    case Charset::Utf16Le:
    case Charset::Utf16Be: {
      qsizetype units = 0;
      for (char c : head) {
        const auto b = static_cast<unsigned char>(c);
        if (!isContinuation(c)) units += b >= 0xF0 ? 2 : 1;
      }
      return shown.start + 2 * units;
    }
    case Charset::Other: {
      QStringEncoder encoder(shown.name.constData(), QStringEncoder::Flag::Stateless);
      return shown.start + QByteArray(encoder.encode(charactersOf(head))).size();
    }
  }
  return shown.start + at;
}

QByteArray encodeStretch(const Shown& shown, QByteArrayView stretch, int* references) {
  if (shown.charset == Charset::Utf8) return stretch.toByteArray();
  const QString text = charactersOf(stretch);
  QByteArray out;
  switch (shown.charset) {
    case Charset::Utf8:
      break;
    case Charset::Utf16Le:
    case Charset::Utf16Be:
      out.resize(2 * text.size());
      if (shown.charset == Charset::Utf16Le)
        qToLittleEndian<char16_t>(text.constData(), text.size(), out.data());
      else
        qToBigEndian<char16_t>(text.constData(), text.size(), out.data());
      break;
    case Charset::Windows1252:
    case Charset::Other:
      for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t cp = text[i].unicode();
        qsizetype width = 1;
        if (QChar::isHighSurrogate(cp) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
          cp = QChar::surrogateToUcs4(text[i], text[i + 1]);
          width = 2;
        }
        bool held = false;
        if (shown.charset == Charset::Windows1252) {
          if (const int byte = charsets::toWindows1252(cp); byte >= 0) {
            out += char(byte);
            held = true;
          }
        } else {
          QStringEncoder encoder(shown.name.constData(), QStringEncoder::Flag::Stateless);
          const QByteArray bytes = encoder.encode(QStringView(text).sliced(i, width));
          if (!encoder.hasError()) {
            out += bytes;
            held = true;
          }
        }
        if (!held) {
          appendReference(out, cp);
          ++*references;
        }
        i += width - 1;
      }
      break;
  }
  return out;
}

}  // namespace

std::optional<Shown> decode(const QByteArray& file, QString* why, Text text) {
  Shown shown;
  const TextEncoding marked = textcodec::encodingOf(file);
  if (marked == TextEncoding::Utf16LeBom || marked == TextEncoding::Utf16BeBom) {
    const bool little = marked == TextEncoding::Utf16LeBom;
    for (qsizetype at = 2; at + 1 < file.size(); at += 2) {
      if (file[at] == '\0' && file[at + 1] == '\0') {
        if (why) *why = QStringLiteral("it holds NUL characters, which a page's code never does");
        return std::nullopt;
      }
    }
    shown.charset = little ? Charset::Utf16Le : Charset::Utf16Be;
    shown.start = 2;
  } else {
    if (file.contains('\0')) {
      if (why) *why = QStringLiteral("it holds NUL bytes, which a page's code never does");
      return std::nullopt;
    }
    const bool bom = file.startsWith("\xEF\xBB\xBF");
    const QString named = bom ? QString() : charsets::named(file);
    QString decoded;
    if (bom || named == u"utf-8" || named == u"utf8") {
      shown.charset = Charset::Utf8;
    } else if (isLatinLabel(named)) {
      shown.charset = Charset::Windows1252;
    } else if (!named.isEmpty() && readsBackExactly(file, named.toLatin1(), &decoded)) {
      shown.charset = Charset::Other;
      shown.name = named.toLatin1();
      shown.text = decoded.toUtf8();
    } else {
      // Named nothing, or a charset its bytes do not read back in: what the
      // bytes are. Either way every byte is written back as it was.
      shown.charset = QByteArrayView(file).isValidUtf8() ? Charset::Utf8 : Charset::Windows1252;
    }
    shown.start = bom ? 3 : 0;
  }
  if (shown.charset == Charset::Utf8 && shown.start == 0) {
    shown.text = file;  // shared, not copied
  } else if (shown.charset != Charset::Other) {
    // The first megabyte is enough to tell the line breaks.
    const qsizetype head =
        std::min<qsizetype>(file.size(), shown.start + (1 << 20)) & ~qsizetype(1);
    if (text == Text::Whole) shown.text = textOfFile(file, shown, shown.start, file.size());
    shown.eol = usualBreak(text == Text::Whole ? QByteArrayView(shown.text)
                                               : textOfFile(file, shown, shown.start, head));
    return shown;
  }
  shown.eol = usualBreak(shown.text);
  return shown;
}

qsizetype textSize(const QByteArray& file, const Shown& shown) {
  if (shown.charset == Charset::Other) return shown.text.size();
  return walk(file, shown, shown.start, std::numeric_limits<qsizetype>::max()).seen;
}

void forEachPiece(const QByteArray& file, const Shown& shown,
                  const std::function<void(QByteArrayView)>& take) {
  if (shown.charset == Charset::Other) {
    take(shown.text);
    return;
  }
  constexpr qsizetype kPiece = 1 << 20;
  const bool wide = shown.charset == Charset::Utf16Le || shown.charset == Charset::Utf16Be;
  const qsizetype end =
      wide ? shown.start + ((file.size() - shown.start) & ~qsizetype(1)) : file.size();
  for (qsizetype at = shown.start; at < end;) {
    qsizetype to = std::min(end, at + kPiece);
    if (wide && to < end) {
      // A surrogate pair stays in one piece.
      const auto b =
          static_cast<unsigned char>(file[shown.charset == Charset::Utf16Le ? to - 1 : to - 2]);
      if (b >= 0xD8 && b <= 0xDB) to += 2;
    }
    if (shown.charset == Charset::Utf8)
      take(QByteArrayView(file).sliced(at, to - at));
    else
      take(textOfFile(file, shown, at, to));
    at = to;
  }
}

Saved encode(const QByteArray& file, const Shown& shown, QByteArrayView now) {
  const QByteArrayView old(shown.text);
  const qsizetype n = std::min(old.size(), now.size());
  qsizetype p = std::mismatch(old.begin(), old.begin() + n, now.begin()).first - old.begin();
  if (p == old.size() && p == now.size()) return {file, 0};
  qsizetype s =
      std::mismatch(old.rbegin(), old.rbegin() + (n - p), now.rbegin()).first - old.rbegin();
  // The stretch covers whole characters, so it can be encoded on its own.
  const auto continuesAt = [](QByteArrayView text, qsizetype at) {
    return at < text.size() && isContinuation(text[at]);
  };
  while (p > 0 && (continuesAt(old, p) || continuesAt(now, p))) --p;
  while (s > 0 && (continuesAt(old, old.size() - s) || continuesAt(now, now.size() - s))) --s;

  return encodeChange(file, shown, p, old.size() - s, now.sliced(p, now.size() - s - p));
}

Saved encodeChange(const QByteArray& file, const Shown& shown, qsizetype from, qsizetype to,
                   QByteArrayView stretch) {
  qsizetype fileStart = 0, fileEnd = 0;
  if (shown.charset == Charset::Other) {
    fileStart = filePos(shown, from);
    fileEnd = filePos(shown, to);
  } else {
    fileStart = walkFile(file, shown, shown.start, from);
    fileEnd = walkFile(file, shown, fileStart, to - from);
    // What the stretch kept of the old text at either end keeps its bytes:
    // typing undone, or a change inside a wide range, re-encodes nothing else.
    const QByteArray old = textOfFile(file, shown, fileStart, fileEnd);
    const qsizetype n = std::min(old.size(), stretch.size());
    qsizetype p = std::mismatch(old.begin(), old.begin() + n, stretch.begin()).first - old.begin();
    qsizetype s =
        std::mismatch(old.rbegin(), old.rbegin() + (n - p), stretch.rbegin()).first - old.rbegin();
    while (p > 0 && ((p < old.size() && isContinuation(old[p])) ||
                     (p < stretch.size() && isContinuation(stretch[p]))))
      --p;
    while (s > 0 &&
           ((isContinuation(old[old.size() - s])) || (isContinuation(stretch[stretch.size() - s]))))
      --s;
    const qsizetype endInOld = old.size() - s;
    fileEnd = walkFile(file, shown, fileStart, endInOld);
    fileStart = walkFile(file, shown, fileStart, p);
    stretch = stretch.sliced(p, stretch.size() - s - p);
  }
  Saved saved;
  const QByteArray bytes = encodeStretch(shown, stretch, &saved.references);
  saved.file.reserve(file.size() - (fileEnd - fileStart) + bytes.size());
  saved.file.append(QByteArrayView(file).first(fileStart));
  saved.file.append(bytes);
  saved.file.append(QByteArrayView(file).sliced(fileEnd));
  return saved;
}

qsizetype fileBytesOf(const Shown& shown, QByteArrayView text) {
  if (shown.charset == Charset::Utf8 || shown.charset == Charset::Other) return text.size();
  // Continuation bytes (10xxxxxx) eight at a time: a big page's text is counted at every save.
  qsizetype continuations = 0, fourByteLeads = 0, i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    quint64 word = 0;
    std::memcpy(&word, text.data() + i, 8);
    continuations += std::popcount(word & ~(word << 1) & 0x8080808080808080ULL);
  }
  for (; i < text.size(); ++i) continuations += isContinuation(text[i]);
  if (shown.charset == Charset::Windows1252) return text.size() - continuations;
  for (char c : text) fourByteLeads += static_cast<unsigned char>(c) >= 0xF0;
  // A character of one to three bytes is one UTF-16 unit, of four a pair.
  return 2 * (text.size() - continuations + fourByteLeads);
}

Saved encodeText(const Shown& shown, QByteArrayView text) {
  Saved saved;
  switch (shown.charset) {
    case Charset::Utf16Le:
      saved.file = "\xFF\xFE";
      break;
    case Charset::Utf16Be:
      saved.file = "\xFE\xFF";
      break;
    default:
      if (shown.start == 3) saved.file = "\xEF\xBB\xBF";
      break;
  }
  saved.file += encodeStretch(shown, text, &saved.references);
  return saved;
}

std::optional<PieceDecoder> PieceDecoder::forHead(QByteArrayView head, qint64 fileSize,
                                                  bool asUtf8) {
  PieceDecoder d;
  Shown& shown = d.shown_;
  // As the whole file's mark is told: a UTF-16 file has an even size.
  const bool even = fileSize >= 2 && fileSize % 2 == 0;
  if (even && head.startsWith("\xFE\xFF")) {
    shown.charset = Charset::Utf16Be;
  } else if (even && head.startsWith("\xFF\xFE") &&
             !(fileSize >= 4 && head.size() >= 4 && head[2] == 0 && head[3] == 0)) {
    shown.charset = Charset::Utf16Le;
  } else {
    const bool bom = head.startsWith("\xEF\xBB\xBF");
    const QString named = bom ? QString() : charsets::named(head);
    if (bom || named == u"utf-8" || named == u"utf8") {
      shown.charset = Charset::Utf8;
    } else if (isLatinLabel(named)) {
      shown.charset = Charset::Windows1252;
    } else if (!named.isEmpty() && QStringDecoder(named.toLatin1().constData()).isValid()) {
      return std::nullopt;
    } else {
      shown.charset = asUtf8 ? Charset::Utf8 : Charset::Windows1252;
      d.guessedUtf8_ = asUtf8;
    }
    shown.start = bom ? 3 : 0;
  }
  if (shown.charset == Charset::Utf16Le || shown.charset == Charset::Utf16Be) shown.start = 2;
  d.skip_ = shown.start;
  const QByteArray first = head.toByteArray();
  const qsizetype end = std::max(
      shown.start, std::min<qsizetype>(first.size(), shown.start + (1 << 20)) & ~qsizetype(1));
  shown.eol = usualBreak(
      shown.charset == Charset::Utf8
          ? QByteArrayView(first).sliced(shown.start)
          : QByteArrayView(textOfFile(first, shown, shown.start, std::min(end, first.size()))));
  return d;
}

PieceDecoder::Piece PieceDecoder::take(QByteArrayView piece, QByteArray& text) {
  text.clear();
  return next(piece, &text, nullptr);
}

PieceDecoder::Piece PieceDecoder::measure(QByteArrayView piece, qsizetype& size) {
  return next(piece, nullptr, &size);
}

PieceDecoder::Piece PieceDecoder::next(QByteArrayView piece, QByteArray* text, qsizetype* size) {
  const qsizetype skipped = std::min(skip_, piece.size());
  piece = piece.sliced(skipped);
  skip_ -= skipped;
  const bool wide = shown_.charset == Charset::Utf16Le || shown_.charset == Charset::Utf16Be;
  if (!wide) {
    if (piece.contains('\0')) return Piece::NotText;
    if (guessedUtf8_) {
      // Checked whole characters at a time: one may run on into the next piece.
      const QByteArray bytes = carry_ + piece.toByteArray();
      qsizetype cut = bytes.size();
      for (qsizetype back = 1; back <= std::min<qsizetype>(3, bytes.size()); ++back) {
        const auto b = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if (b < 0x80) break;
        if (b >= 0xC0) {
          const int length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
          if (length > back) cut = bytes.size() - back;
          break;
        }
      }
      if (!QByteArrayView(bytes).first(cut).isValidUtf8()) return Piece::NotUtf8;
      carry_ = bytes.sliced(cut);
    }
    const bool latin = shown_.charset == Charset::Windows1252;
    if (text) *text = latin ? fromWindows1252(piece) : piece.toByteArray();
    if (size) {
      *size += piece.size();
      if (latin)
        for (qsizetype at = 0; (at += charsets::firstNonAscii(piece.sliced(at))) < piece.size();
             ++at)
          *size += charsets::fromWindows1252(static_cast<unsigned char>(piece[at])) < 0x800 ? 1 : 2;
    }
    return Piece::Text;
  }
  QByteArray bytes = carry_ + piece.toByteArray();
  qsizetype end = bytes.size() & ~qsizetype(1);
  for (qsizetype at = 0; at < end; at += 2)
    if (bytes[at] == '\0' && bytes[at + 1] == '\0') return Piece::NotText;
  // A pair of surrogates stays together.
  if (end >= 2) {
    const auto high =
        static_cast<unsigned char>(bytes[shown_.charset == Charset::Utf16Le ? end - 1 : end - 2]);
    if (high >= 0xD8 && high <= 0xDB) end -= 2;
  }
  const QByteArray converted = textOfFile(bytes, shown_, 0, end);
  if (text) *text = converted;
  if (size) *size += converted.size();
  carry_ = bytes.sliced(end);
  return Piece::Text;
}

PieceDecoder::Piece PieceDecoder::finish(QByteArray& text) {
  text.clear();
  if (carry_.isEmpty()) return Piece::Text;
  if (guessedUtf8_) return Piece::NotUtf8;  // the file ends inside a character
  if (shown_.charset == Charset::Utf16Le || shown_.charset == Charset::Utf16Be)
    text = textOfFile(carry_, shown_, 0, carry_.size() & ~qsizetype(1));
  carry_.clear();
  return Piece::Text;
}

}  // namespace codetext

namespace codetext {
namespace {

// Start tags in the order of the text, counted by name.
class StartTags final : public markupscan::Visitor {
 public:
  std::function<bool(const markupscan::Tag&, int ordinal)> each;
  void tag(const markupscan::Tag& tag) override {
    if (tag.closing || done_) return;
    const QByteArray name = tag.name.toByteArray().toLower();
    if (each(tag, counts_[name]++)) done_ = true;
  }

 private:
  QHash<QByteArray, int> counts_;
  bool done_ = false;
};

}  // namespace

std::optional<std::pair<qsizetype, qsizetype>> startTag(QByteArrayView text, QByteArrayView name,
                                                        int ordinal) {
  std::optional<std::pair<qsizetype, qsizetype>> found;
  const QByteArray lower = name.toByteArray().toLower();
  StartTags tags;
  tags.each = [&](const markupscan::Tag& tag, int n) {
    if (n != ordinal || !markupscan::equalsNoCase(tag.name, lower.constData())) return false;
    found = std::pair{tag.start, tag.end - tag.start};
    return true;
  };
  markupscan::scan(text, tags);
  return found;
}

std::pair<QByteArray, int> elementAt(QByteArrayView text, qsizetype at) {
  std::pair<QByteArray, int> found;
  StartTags tags;
  tags.each = [&](const markupscan::Tag& tag, int n) {
    if (tag.start > at) return true;
    found = {tag.name.toByteArray().toLower(), n};
    return false;
  };
  markupscan::scan(text, tags);
  return found;
}

}  // namespace codetext
