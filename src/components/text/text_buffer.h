#pragma once

#include <QString>

// How a text was stored on disk, so that writing it back keeps every byte that
// was not changed.
enum class TextEncoding {
  Utf8,        // UTF-8 without a byte order mark
  Utf8Bom,     // UTF-8 with a byte order mark
  Bytes,       // anything else: bytes 0x80-0xFF held as U+F780-U+F7FF, ASCII as is
  Utf16LeBom,  // UTF-16 little-endian with a byte order mark
  Utf16BeBom,  // UTF-16 big-endian with a byte order mark
};

// A hidden multi-line "text box": the text plus the encoding it was read in.
// Never a widget, since a widget would rewrite line endings.
struct TextBuffer final {
  QString text;
  TextEncoding encoding = TextEncoding::Utf8;
};
