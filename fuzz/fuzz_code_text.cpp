// The code view's text and back: a page read and written untouched is its
// own bytes, and a page with an edit written without references reads back
// as exactly the text the user saw.
#include "fuzz_input.h"
#include "text/code_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint16_t where = uint16_t(in.byte() << 8 | in.byte());
  const uint8_t cut = in.byte() % 16;
  const QByteArray typed = QString::fromUtf8(in.piece(16)).toUtf8();
  const QByteArray file = in.rest().toByteArray();
  const auto shown = codetext::decode(file);
  if (!shown) return 0;
  FUZZ_CHECK(codetext::encode(file, *shown, shown->text).file == file);

  // A character boundary of the shown text: the view never splits one.
  QByteArray now = shown->text;
  qsizetype at = where % (now.size() + 1);
  while (at < now.size() && (uchar(now[at]) & 0xC0) == 0x80) ++at;
  qsizetype end = std::min(now.size(), at + cut);
  while (end < now.size() && (uchar(now[end]) & 0xC0) == 0x80) ++end;
  now.replace(at, end - at, typed);
  const codetext::Saved saved = codetext::encode(file, *shown, now);
  // The view hands over a range wider than the change: the same bytes.
  if (shown->charset != codetext::Charset::Other) {
    codetext::Shown bare = *shown;
    bare.text.clear();
    FUZZ_CHECK(codetext::encodeChange(file, bare, 0, shown->text.size(), now).file == saved.file);
  }
  const auto again = codetext::decode(saved.file);
  if (saved.references == 0 && again && again->charset == shown->charset &&
      shown->charset != codetext::Charset::Other) {
    // A UTF-8 page the user made begin with U+FEFF reads it back as its byte
    // order mark, as a browser does.
    if (again->start > shown->start) now.remove(0, again->start - shown->start);
    FUZZ_CHECK(again->text == now);
  }
  return 0;
}
