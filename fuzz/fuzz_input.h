#pragma once

#include <QByteArrayView>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// A broken property is a finding like a crash: libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (false)

// Cuts one fuzz input into the arguments of a text function: single bytes and
// short pieces (a length byte, then the bytes) from the front, the rest as the
// page, so that a seed page stays mostly a page.
class FuzzInput final {
 public:
  FuzzInput(const uint8_t* data, size_t size)
      : rest_(reinterpret_cast<const char*>(data), qsizetype(size)) {}

  uint8_t byte() {
    if (rest_.isEmpty()) return 0;
    const auto b = uint8_t(rest_.front());
    rest_ = rest_.sliced(1);
    return b;
  }

  QByteArrayView piece(qsizetype maxLength) {
    const qsizetype n = std::min<qsizetype>(byte() % (maxLength + 1), rest_.size());
    const QByteArrayView p = rest_.first(n);
    rest_ = rest_.sliced(n);
    return p;
  }

  QByteArrayView rest() {
    const QByteArrayView r = rest_;
    rest_ = {};
    return r;
  }

 private:
  QByteArrayView rest_;
};

// Bytes as text: UTF-8 (what pages mostly are), or raw UTF-16 code units so
// that lone surrogates and every other code unit occur too.
inline QString textOf(QByteArrayView bytes, bool utf16) {
  if (!utf16) return QString::fromUtf8(bytes);
  QString text(bytes.size() / 2, Qt::Uninitialized);
  std::memcpy(text.data(), bytes.data(), size_t(text.size()) * sizeof(QChar));
  return text;
}

// Non-overlapping occurrences, left to right.
inline qsizetype occurrences(const QString& text, const QString& find) {
  if (find.isEmpty()) return 0;
  qsizetype n = 0;
  for (qsizetype at = text.indexOf(find); at >= 0; at = text.indexOf(find, at + find.size())) ++n;
  return n;
}
