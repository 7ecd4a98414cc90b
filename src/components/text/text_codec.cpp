#include "text/text_codec.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

#include "text/charsets.h"

namespace {

constexpr char16_t kByteBase = 0xF700;  // byte b >= 0x80 is held as U+F700 + b

// A UTF-16 page is known by its mark; without one, or with an odd length, it
// is read byte for byte as before, which keeps it whole. FF FE 00 00 marks
// UTF-32, which is kept as bytes too.
TextEncoding utf16Mark(QByteArrayView bytes) {
  if (bytes.size() < 2 || bytes.size() % 2 != 0) return TextEncoding::Bytes;
  if (bytes.startsWith("\xFE\xFF")) return TextEncoding::Utf16BeBom;
  if (bytes.startsWith("\xFF\xFE") && !(bytes.size() >= 4 && bytes[2] == 0 && bytes[3] == 0))
    return TextEncoding::Utf16LeBom;
  return TextEncoding::Bytes;
}

// An ASCII file is only known to be UTF-8 when it says so; otherwise a
// character added later is written as a character reference, which is right
// in any charset the page may be read in.
bool declaresUtf8(QByteArrayView bytes) {
  const QString name = charsets::named(bytes);
  return name == u"utf-8" || name == u"utf8";
}

QString bytesToText(const QByteArray& bytes) {
  QString text = QString::fromLatin1(bytes);
  char16_t* data = reinterpret_cast<char16_t*>(text.data());
  for (qsizetype i = 0, n = text.size(); i < n; ++i)
    if (data[i] >= 0x80) data[i] = char16_t(data[i] + kByteBase);
  return text;
}

void appendCharacterReference(QByteArray& out, char32_t codePoint) {
  out += "&#";
  out += QByteArray::number(static_cast<uint>(codePoint));
  out += ';';
}

QByteArray textToBytes(const QString& text) {
  QByteArray out;
  out.reserve(text.size());
  const char16_t* data = reinterpret_cast<const char16_t*>(text.constData());
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = data[i];
    if (c < 0x80) {
      out += char(c);
    } else if (c >= kByteBase + 0x80 && c <= kByteBase + 0xFF) {
      out += char(c - kByteBase);
    } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(data[i + 1])) {
      appendCharacterReference(out, QChar::surrogateToUcs4(c, data[i + 1]));
      ++i;
    } else {
      appendCharacterReference(out, c);
    }
  }
  return out;
}

// Valid UTF-8 (checked by the caller) as UTF-16: eight ASCII bytes at a time,
// which is most of any page, its markup being ASCII. It gives what Qt's own
// decoder gives for valid bytes, several times faster on a page that mixes
// ASCII and other characters; a sequence cut short by the end is a caller's
// fault and yields U+FFFD, never a read past the end.
void validUtf8Into(QByteArrayView bytes, QString& out) {
  out.resize(bytes.size());  // the room it had is used again
  char16_t* const begin = reinterpret_cast<char16_t*>(out.data());
  char16_t* o = begin;
  const uchar* p = reinterpret_cast<const uchar*>(bytes.data());
  const uchar* const end = p + bytes.size();
  while (p < end) {
    if (end - p >= 8) {
      quint64 w;
      std::memcpy(&w, p, 8);
      if ((w & 0x8080808080808080ULL) == 0) {
        for (int i = 0; i < 8; ++i) o[i] = p[i];
        o += 8;
        p += 8;
        continue;
      }
    }
    const uchar b = *p;
    const qsizetype length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (end - p < length) {
      *o++ = QChar::ReplacementCharacter;
      break;
    }
    switch (length) {
      case 1:
        *o++ = b;
        break;
      case 2:
        *o++ = char16_t((b & 0x1F) << 6 | (p[1] & 0x3F));
        break;
      case 3:
        *o++ = char16_t((b & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F));
        break;
      default: {
        const char32_t c = char32_t(b & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12 |
                           char32_t(p[2] & 0x3F) << 6 | char32_t(p[3] & 0x3F);
        *o++ = QChar::highSurrogate(c);
        *o++ = QChar::lowSurrogate(c);
      }
    }
    p += length;
  }
  out.truncate(o - begin);
}

}  // namespace

namespace textcodec {

TextEncoding encodingOf(QByteArrayView bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF"))
    return bytes.sliced(3).isValidUtf8() ? TextEncoding::Utf8Bom : TextEncoding::Bytes;
  if (const TextEncoding utf16 = utf16Mark(bytes); utf16 != TextEncoding::Bytes) return utf16;
  const qsizetype nonAscii = charsets::firstNonAscii(bytes);
  if (nonAscii == bytes.size())
    return declaresUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Bytes;
  return bytes.sliced(nonAscii).isValidUtf8() ? TextEncoding::Utf8 : TextEncoding::Bytes;
}

QString fromValidUtf8(QByteArrayView bytes) {
  QString text;
  validUtf8Into(bytes, text);
  return text;
}

TextBuffer decode(const QByteArray& bytes) {
  TextBuffer result;
  decodeInto(bytes, result);
  return result;
}

void decodeInto(const QByteArray& bytes, TextBuffer& result) {
  result.encoding = encodingOf(bytes);
  switch (result.encoding) {
    case TextEncoding::Utf8Bom:
    case TextEncoding::Utf8: {
      const bool bom = result.encoding == TextEncoding::Utf8Bom;
      // The mark itself is cut off here; a second one is text the file holds.
      validUtf8Into(QByteArrayView(bytes).sliced(bom ? 3 : 0), result.text);
      return;
    }
    case TextEncoding::Utf16LeBom:
    case TextEncoding::Utf16BeBom: {
      // Code unit by code unit, lone surrogates too, so that it writes back
      // exactly as it was.
      result.text = QString(bytes.size() / 2 - 1, Qt::Uninitialized);
      if (result.encoding == TextEncoding::Utf16LeBom)
        qFromLittleEndian<char16_t>(bytes.constData() + 2, result.text.size(), result.text.data());
      else
        qFromBigEndian<char16_t>(bytes.constData() + 2, result.text.size(), result.text.data());
      return;
    }
    case TextEncoding::Bytes:
      break;
  }
  result.text = bytesToText(bytes);
  result.encoding = TextEncoding::Bytes;
}

QByteArray encode(const TextBuffer& source) {
  switch (source.encoding) {
    case TextEncoding::Utf8:
      return source.text.toUtf8();
    case TextEncoding::Utf8Bom:
      return QByteArray("\xEF\xBB\xBF") + source.text.toUtf8();
    case TextEncoding::Bytes:
      return textToBytes(source.text);
    case TextEncoding::Utf16LeBom:
    case TextEncoding::Utf16BeBom: {
      const bool little = source.encoding == TextEncoding::Utf16LeBom;
      QByteArray out(2 + 2 * source.text.size(), Qt::Uninitialized);
      out[0] = little ? '\xFF' : '\xFE';
      out[1] = little ? '\xFE' : '\xFF';
      if (little)
        qToLittleEndian<char16_t>(source.text.constData(), source.text.size(), out.data() + 2);
      else
        qToBigEndian<char16_t>(source.text.constData(), source.text.size(), out.data() + 2);
      return out;
    }
  }
  return {};
}

}  // namespace textcodec
