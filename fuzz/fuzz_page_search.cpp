// Find and replace across pages: the search that reads only the runs of text
// near a possible match finds what the search over the whole visible text
// finds, and every match is a stretch of the page's bytes.
#include "fuzz_input.h"
#include "text/text_codec.h"
#include "tools/page_search.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t flags = in.byte();
  QString find = textOf(in.piece(24), flags & 1);
  const QByteArray bytes = in.rest().toByteArray();
  const TextBuffer page = textcodec::decode(bytes);
  // Half the time the find text is cut from the page, so that it occurs.
  if ((flags & 2) && !page.text.isEmpty())
    find = page.text.mid(qsizetype(flags >> 4) * page.text.size() / 16,
                         std::max<qsizetype>(1, find.size() % 12));
  const pagesearch::Options options{find, pagesearch::Mode::Text, bool(flags & 4), bool(flags & 8)};
  const pagesearch::PageCoding coding = pagesearch::codingOf(bytes, page.encoding);
  const pagesearch::Found fast = pagesearch::findMatches(page, coding, options);
  const pagesearch::Found whole = pagesearch::findMatchesWhole(page, coding, options);
  FUZZ_CHECK(fast.refused == whole.refused);
  FUZZ_CHECK(fast.matches.size() == whole.matches.size());
  qsizetype previousEnd = 0;
  for (qsizetype i = 0; i < fast.matches.size(); ++i) {
    const pagesearch::Match& a = fast.matches[i];
    const pagesearch::Match& b = whole.matches[i];
    FUZZ_CHECK(a.start == b.start && a.end == b.end && a.line == b.line);
    FUZZ_CHECK(a.byteStart == b.byteStart && a.byteEnd == b.byteEnd);
    FUZZ_CHECK(a.before == b.before && a.found == b.found && a.after == b.after);
    FUZZ_CHECK(previousEnd <= a.byteStart && a.byteStart < a.byteEnd && a.byteEnd <= bytes.size());
    previousEnd = a.byteEnd;
  }
  return 0;
}
