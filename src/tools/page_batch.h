#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "files/page_batch_writer.h"
#include "tools/page_search.h"

class QComboBox;
class QWidget;

// Working on many pages at once: which pages, one page at a time through the
// one reader and writer, and what to tell the user afterwards. A page that
// fails is reported and the others are still done.
namespace pagebatch {

// Every page of the list once, in list order (the same file under two
// spellings or through a link counts once).
QStringList pagesOf(const QComboBox* pageList);

// --- The code tools on every page -------------------------------------

// One page's text edited: the new text and how many places changed, or why
// the page cannot be edited (such as a missing head tag).
struct TextEdit final {
  QString text;
  int changes = 0;
  QString refused;
};
using EditFunction = std::function<TextEdit(const QString& pageText)>;

// The same for the page's own bytes.
struct PageEdit final {
  QByteArray bytes;
  int changes = 0;
  QString refused;
};
using PageEditFunction = std::function<PageEdit(const QByteArray& page)>;

// A text edit as a page edit: the page decoded by its own charset, edited,
// and encoded back the same way.
PageEditFunction onText(EditFunction edit);

struct PageOutcome final {
  enum class Fault { None, Read, Refused, Write };
  QString path;
  int changes = 0;  // 0 with no failure: nothing to change, file not written
  Fault fault = Fault::None;
  QString why;      // the reason given by the file system or the edit
  QString failure;  // why the page was not done, in a user's words
};

// The one read-edit-write of every tool: the page is read by the one reader,
// edited, and written back through pagefile::save (its history kept first);
// a page with no change is not written.
PageOutcome editPage(const QString& path, const PageEditFunction& edit);

// Many pages read and edited one by one and written together through the
// batch writer: a few syncs for the whole batch instead of one per page. Each
// page is on its own: one that fails is reported, the others are written.
// A page changed by another program between its read and its write is not
// written (refused: it changed since it was read). History copies are named
// action, or by the caller's history::Action when it is empty.
class PageBatch final {
 public:
  explicit PageBatch(QString action);
  // What waits is written: a page read and edited is as good as done (a
  // window closed half way through keeps the pages it did).
  ~PageBatch();
  PageBatch(const PageBatch&) = delete;
  PageBatch& operator=(const PageBatch&) = delete;

  // Reads and edits the page now; it is written with the batch (sooner when
  // the bytes waiting pass a bound, so memory stays small on many big pages).
  void add(const QString& path, const PageEditFunction& edit);
  // Writes what waits; the outcomes of every page added, in order.
  QList<PageOutcome> finish();

 private:
  void flush();
  QString action_;
  QList<PageOutcome> outcomes_;
  std::vector<pagebatchwriter::Change> waiting_;
  QList<qsizetype> waitingAt_;  // where each waiting change's outcome is
  qint64 waitingBytes_ = 0;
};

// Every page edited by edit and written in batches.
QList<PageOutcome> editPages(const QStringList& paths, const PageEditFunction& edit,
                             const QString& action);

// What every tool says of one page it could not read or write (a refused
// edit is the tool's own to tell); false when there is nothing to say.
bool reportFileFault(const PageOutcome& outcome, QWidget* parent);

// The report that takes the place of "Done!": how many changes in how many
// pages, then each page that failed and why. what names one change, as in
// "1 tag replaced" / "3 tags replaced".
QString toolReport(const QList<PageOutcome>& outcomes, const QString& one, const QString& many);

// --- Find and replace ---------------------------------------------------

// One page as searched: what it held, so a page changed since can be told.
struct SearchedPage final {
  QString path;
  qsizetype size = 0;
  size_t fingerprint = 0;
  pagesearch::PageCoding coding;
  QList<pagesearch::Match> matches;
  QString failure;  // could not be read or searched
};

SearchedPage searchPage(const QString& path, const pagesearch::Options& options);

// The edit that writes the replacement over the chosen matches of a searched
// page (indices into page.matches); it refuses a page changed since the search.
// Empty when no match is chosen.
PageEditFunction replacementIn(const SearchedPage& page, const QList<int>& chosen,
                               const QString& replacement, pagesearch::Mode mode);

// The same for one page written at once. Nothing is written when the file
// changed since the search, or when no match is chosen.
PageOutcome replaceInPage(const SearchedPage& page, const QList<int>& chosen,
                          const QString& replacement, pagesearch::Mode mode);

// The words for a page that changed since the search.
inline const char* const kChangedSinceSearch = "changed since the search";

// The report after a replace: one line per page (replaced N, or failed and
// why), failures first; a long list is cut short.
QString replaceReport(const QList<PageOutcome>& outcomes);

}  // namespace pagebatch
