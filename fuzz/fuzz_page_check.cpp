// The page check over any bytes: the markup scan ends, every place it
// reports lies inside the page, lines are counted within it, and what it
// finds of a page is found again when the page is checked a second time.
#include <QList>

#include "fuzz_input.h"
#include "text/page_check.h"
#include "text/page_check_placeholders.h"
#include "text/page_references.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t flags = in.byte();
  const QByteArray page = in.rest().toByteArray();
  const int lines = int(page.count('\n') + (page.contains('\n') ? 1 : page.count('\r') + 1));

  for (const pagerefs::Reference& r : pagerefs::inPage(page))
    FUZZ_CHECK(r.at >= 0 && r.at <= page.size());
  for (const pagerefs::Reference& r : pagerefs::inStyleSheet(page))
    FUZZ_CHECK(r.at >= 0 && r.at <= page.size());

  QList<pagecheck::Placeholder> found;
  pagecheck::findPlaceholders(page, 0, page.size(), found);
  qsizetype after = 0;
  for (const pagecheck::Placeholder& p : found) {
    FUZZ_CHECK(p.at >= after && p.at < page.size());
    FUZZ_CHECK(!p.found.isEmpty());
    after = p.at + 1;
  }

  const pagecheck::Identities mine(flags & 1 ? QStringLiteral("me@mine.com, aff") : QString());
  const pagecheck::FileFindings first = pagecheck::checkPage(page, mine);
  for (const pagecheck::Problem& p : first.problems) FUZZ_CHECK(p.line >= 0 && p.line <= lines);
  for (const pagecheck::LocalUse& u : first.locals) {
    FUZZ_CHECK(u.line >= 1 && u.line <= lines);
    FUZZ_CHECK(!u.path.isEmpty());
  }
  for (const pagecheck::WebUse& w : first.web) FUZZ_CHECK(w.line >= 1 && w.line <= lines);
  const pagecheck::FileFindings again = pagecheck::checkPage(page, mine);
  FUZZ_CHECK(again.problems.size() == first.problems.size());
  FUZZ_CHECK(again.locals.size() == first.locals.size());
  pagecheck::checkStyleSheet(page);
  return 0;
}
