#include "text/charsets.h"

#include <QRegularExpression>
#include <array>
#include <cstring>

namespace {

constexpr qsizetype kSniffLength = 16 * 1024;

constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

namespace charsets {

char16_t fromWindows1252(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : char16_t(byte);
}

int toWindows1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return int(cp);
  for (int i = 0; i < 32; ++i)
    if (kWindows1252High[i] == cp) return 0x80 + i;
  return -1;
}

QString named(QByteArrayView bytes) {
  static const QRegularExpression declaration(
      QStringLiteral(R"((?:charset|encoding)\s*=\s*["']?\s*([A-Za-z0-9._:-]+))"),
      QRegularExpression::CaseInsensitiveOption);
  const auto match =
      declaration.match(QString::fromLatin1(bytes.first(std::min(bytes.size(), kSniffLength))));
  return match.hasMatch() ? match.captured(1).toLower() : QString();
}

bool isAscii(QByteArrayView bytes) { return firstNonAscii(bytes) == bytes.size(); }

qsizetype firstNonAscii(QByteArrayView bytes) {
  // Eight bytes a step, since most of a page is ASCII.
  const char* data = bytes.data();
  const qsizetype n = bytes.size();
  qsizetype i = 0;
  for (; i + 8 <= n; i += 8) {
    quint64 word;
    std::memcpy(&word, data + i, sizeof word);
    if (word & 0x8080808080808080ULL) break;
  }
  for (; i < n; ++i)
    if (static_cast<unsigned char>(data[i]) >= 0x80) return i;
  return n;
}

}  // namespace charsets
