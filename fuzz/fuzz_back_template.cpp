// The back-button template fill: every "[LOCATION]" becomes the address as
// typed, and nothing else in the template moves.
#include "fuzz_input.h"
#include "tools/text_edits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t flags = in.byte();
  const bool utf16 = flags & 1;
  const QString url = textOf(in.piece(200), utf16);
  QString templateText = textOf(in.rest(), utf16);
  static const QString kLocation = QStringLiteral("[LOCATION]");
  // Put the marker in at a few places so that most runs have one to fill.
  for (int i = 0; i < (flags >> 1) % 4 && !templateText.isEmpty(); ++i)
    templateText.insert((flags * 37 + i * 101) % templateText.size(), kLocation);

  const QString filled = textedits::fillBackTemplate(templateText, url);
  const qsizetype n = occurrences(templateText, kLocation);
  if (n == 0) FUZZ_CHECK(filled == templateText);
  FUZZ_CHECK(filled.size() == templateText.size() + n * (url.size() - kLocation.size()));
  FUZZ_CHECK(filled == QString(templateText).replace(kLocation, url));
  return 0;
}
