// ReplaceAll and the tag replacement built on it, checked against Qt's own
// replace and against the size every replacement must give.
#include "fuzz_input.h"
#include "text/v_parser.h"
#include "tools/text_edits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t flags = in.byte();
  const bool utf16 = flags & 1;
  QString find = textOf(in.piece(24), utf16);
  const QString replacement = textOf(in.piece(64), utf16);
  const QString text = textOf(in.rest(), utf16);
  // Half the time the find string is cut from the text, so that it occurs.
  if ((flags & 2) && !text.isEmpty())
    find = text.mid(qsizetype(flags >> 2) * text.size() / 64, std::max<qsizetype>(1, find.size()));

  const QString result = vParser::ReplaceAll(text, find, replacement);
  if (find.isEmpty() || !text.contains(find)) FUZZ_CHECK(result == text);
  if (!find.isEmpty()) FUZZ_CHECK(result == QString(text).replace(find, replacement));
  FUZZ_CHECK(result.size() ==
             text.size() + occurrences(text, find) * (replacement.size() - find.size()));
  FUZZ_CHECK(vParser::ReplaceAll(text, find, replacement, flags) == result);
  FUZZ_CHECK(textedits::replaceTag(text, find, replacement) == result);
  return 0;
}
