#include "tools/page_batch.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <utility>

#include "files/history_action.h"
#include "files/page_file.h"
#include "files/paths.h"
#include "files/v_file.h"
#include "text/text_codec.h"
#include "widgets/msg_box.h"

namespace {

// File names, or whole paths where two pages share a name.
QHash<QString, QString> namesOf(const QList<pagebatch::PageOutcome>& outcomes) {
  QHash<QString, int> count;
  for (const auto& o : outcomes) ++count[QFileInfo(o.path).fileName()];
  QHash<QString, QString> names;
  for (const auto& o : outcomes) {
    const QString name = QFileInfo(o.path).fileName();
    names.insert(o.path,
                 count.value(name) > 1 || name.isEmpty() ? QDir::toNativeSeparators(o.path) : name);
  }
  return names;
}

constexpr int kReportLines = 25;  // a message box taller than the screen helps nobody

}  // namespace

namespace pagebatch {

QStringList pagesOf(const QComboBox* pageList) {
  QStringList pages;
  if (!pageList) return pages;
  QSet<QString> seen;
  for (int i = 0; i < pageList->count(); ++i) {
    const QString path = pageList->itemText(i);
    if (path.isEmpty()) continue;
    if (seen.contains(paths::identityOf(path))) continue;
    seen.insert(paths::identityOf(path));
    pages.append(path);
  }
  return pages;
}

PageEditFunction onText(EditFunction edit) {
  return [edit = std::move(edit)](const QByteArray& bytes) {
    TextBuffer page = textcodec::decode(bytes);
    TextEdit edited = edit(page.text);
    PageEdit out;
    out.changes = edited.changes;
    out.refused = std::move(edited.refused);
    if (out.refused.isEmpty() && out.changes > 0) {
      page.text = std::move(edited.text);
      out.bytes = textcodec::encode(page);
    }
    return out;
  };
}

PageOutcome editPage(const QString& path, const PageEditFunction& edit) {
  PageOutcome outcome;
  outcome.path = path;
  const auto fail = [&outcome](PageOutcome::Fault fault, const QString& why, const QString& words) {
    outcome.fault = fault;
    outcome.why = why;
    outcome.failure = words + why;
    return outcome;
  };
  QByteArray bytes;
  if (const Status read = vFile::LoadBytes(bytes, path); !read)
    return fail(PageOutcome::Fault::Read, read.why(), QStringLiteral("could not be read: "));
  PageEdit edited = edit(bytes);
  bytes = QByteArray();  // no second copy of a large page while it is written
  if (!edited.refused.isEmpty())
    return fail(PageOutcome::Fault::Refused, edited.refused, QString());
  if (edited.changes == 0) return outcome;
  if (const Status saved = pagefile::save(edited.bytes, path); !saved)
    return fail(PageOutcome::Fault::Write, saved.why(), QStringLiteral("could not be saved: "));
  outcome.changes = edited.changes;
  return outcome;
}

namespace {

// Bounds what waits in memory for its batch: past either, the batch is written.
constexpr qint64 kBatchBytes = qint64(64) << 20;
constexpr qsizetype kBatchPages = 500;

}  // namespace

PageBatch::PageBatch(QString action) : action_(std::move(action)) {}

PageBatch::~PageBatch() { flush(); }

void PageBatch::add(const QString& path, const PageEditFunction& edit) {
  PageOutcome outcome;
  outcome.path = path;
  const auto fail = [&](PageOutcome::Fault fault, const QString& why, const QString& words) {
    outcome.fault = fault;
    outcome.why = why;
    outcome.failure = words + why;
    outcomes_.append(outcome);
  };
  QByteArray bytes;
  if (const Status read = vFile::LoadBytes(bytes, path); !read)
    return fail(PageOutcome::Fault::Read, read.why(), QStringLiteral("could not be read: "));
  const pagebatchwriter::Identity identity = pagebatchwriter::Identity::of(bytes);
  PageEdit edited = edit(bytes);
  bytes = QByteArray();
  if (!edited.refused.isEmpty()) return fail(PageOutcome::Fault::Refused, edited.refused, {});
  if (edited.changes == 0) {
    outcomes_.append(outcome);
    return;
  }
  outcome.changes = edited.changes;
  waitingBytes_ += edited.bytes.size();
  waiting_.push_back({path, std::move(edited.bytes), identity});
  waitingAt_.append(outcomes_.size());
  outcomes_.append(outcome);
  if (waitingBytes_ > kBatchBytes || waiting_.size() >= std::size_t(kBatchPages)) flush();
}

void PageBatch::flush() {
  if (waiting_.empty()) return;
  std::optional<history::Action> naming;
  if (!action_.isEmpty()) naming.emplace(action_);
  const std::vector<pagebatchwriter::Outcome> written = pagebatchwriter::write(std::move(waiting_));
  for (std::size_t i = 0; i < written.size(); ++i) {
    PageOutcome& o = outcomes_[waitingAt_[qsizetype(i)]];
    if (written[i].written()) continue;
    o.changes = 0;
    o.why = written[i].why;
    if (written[i].result == pagebatchwriter::Outcome::Result::Changed) {
      o.fault = PageOutcome::Fault::Refused;
      o.failure = o.why;
    } else {
      o.fault = PageOutcome::Fault::Write;
      o.failure = QStringLiteral("could not be saved: ") + o.why;
    }
  }
  waiting_.clear();
  waitingAt_.clear();
  waitingBytes_ = 0;
}

QList<PageOutcome> PageBatch::finish() {
  flush();
  return std::exchange(outcomes_, {});
}

QList<PageOutcome> editPages(const QStringList& paths, const PageEditFunction& edit,
                             const QString& action) {
  PageBatch batch(action);
  for (const QString& path : paths) batch.add(path, edit);
  return batch.finish();
}

bool reportFileFault(const PageOutcome& outcome, QWidget* parent) {
  if (outcome.fault != PageOutcome::Fault::Read && outcome.fault != PageOutcome::Fault::Write)
    return false;
  FileErrorMsg(
      outcome.fault == PageOutcome::Fault::Read ? QStringLiteral("read") : QStringLiteral("save"),
      outcome.path, outcome.why, parent);
  return true;
}

QString toolReport(const QList<PageOutcome>& outcomes, const QString& one, const QString& many) {
  int changes = 0;
  int pages = 0;
  QStringList failed;
  const QHash<QString, QString> names = namesOf(outcomes);
  for (const PageOutcome& o : outcomes) {
    changes += o.changes;
    if (o.changes > 0) ++pages;
    if (!o.failure.isEmpty()) failed.append(names.value(o.path) + QStringLiteral(": ") + o.failure);
  }
  QString report = failed.isEmpty() ? QStringLiteral("Done! ") : QString();
  report += (changes == 1 ? one : many).arg(changes);
  report += QStringLiteral(" in %1 of %2 pages.").arg(pages).arg(outcomes.size());
  if (!failed.isEmpty()) {
    report += QStringLiteral("\n\nNot done:\n");
    if (failed.size() > kReportLines) {
      const qsizetype more = failed.size() - kReportLines;
      failed = failed.first(kReportLines);
      failed.append(QStringLiteral("... and %1 more").arg(more));
    }
    report += failed.join(u'\n');
  }
  return report;
}

namespace {
constexpr qsizetype kKeptSearchText = qsizetype(1) << 20;  // characters: 2 MB
}  // namespace

SearchedPage searchPage(const QString& path, const pagesearch::Options& options) {
  SearchedPage searched;
  searched.path = path;
  QByteArray bytes;
  if (const Status read = vFile::LoadBytes(bytes, path); !read) {
    searched.failure = QStringLiteral("could not be read: ") + read.why();
    return searched;
  }
  searched.size = bytes.size();
  searched.fingerprint = qHash(bytes);
  // Code is found in a UTF-8 page's bytes, never decoded whole.
  if (pagesearch::codeInBytes(options)) {
    const TextEncoding encoding = textcodec::encodingOf(bytes);
    if (std::optional<pagesearch::Found> found =
            pagesearch::findCodeInUtf8(bytes, encoding, options)) {
      searched.coding = pagesearch::codingOf(bytes, encoding);
      searched.matches = std::move(found->matches);
      return searched;
    }
  }
  // One text for every page searched on this thread: fresh memory for each
  // page would be faulted in page by page. A very big page's goes with it.
  thread_local TextBuffer page;
  textcodec::decodeInto(bytes, page);
  searched.coding = pagesearch::codingOf(bytes, page.encoding);
  pagesearch::Found found = pagesearch::findMatches(page, searched.coding, options);
  if (page.text.capacity() > kKeptSearchText) page = TextBuffer();
  if (!found.refused.isEmpty()) {
    searched.failure = found.refused;
    return searched;
  }
  searched.matches = std::move(found.matches);
  return searched;
}

PageEditFunction replacementIn(const SearchedPage& page, const QList<int>& chosen,
                               const QString& replacement, pagesearch::Mode mode) {
  QList<pagesearch::ByteRange> ranges;
  for (const int i : chosen)
    if (i >= 0 && i < page.matches.size())
      ranges.append({page.matches[i].byteStart, page.matches[i].byteEnd});
  if (ranges.isEmpty()) return {};
  std::sort(ranges.begin(), ranges.end());
  ranges.erase(std::unique(ranges.begin(), ranges.end()), ranges.end());

  const QByteArray with = pagesearch::replacementBytes(replacement, mode, page.coding);
  return [ranges, with, size = page.size, fingerprint = page.fingerprint](const QByteArray& bytes) {
    PageEdit edited;
    // The matches are places in the bytes that were searched: in other bytes
    // they would cut the page at random.
    if (bytes.size() != size || qHash(bytes) != fingerprint) {
      edited.refused = QString::fromLatin1(kChangedSinceSearch);
      return edited;
    }
    edited.bytes = pagesearch::spliceBytes(bytes, ranges, with);
    edited.changes = int(ranges.size());
    return edited;
  };
}

PageOutcome replaceInPage(const SearchedPage& page, const QList<int>& chosen,
                          const QString& replacement, pagesearch::Mode mode) {
  const PageEditFunction edit = replacementIn(page, chosen, replacement, mode);
  if (!edit) {
    PageOutcome none;
    none.path = page.path;
    return none;
  }
  const history::Action action(QStringLiteral("Find and Replace"));
  return editPage(page.path, edit);
}

QString replaceReport(const QList<PageOutcome>& outcomes) {
  int changes = 0;
  int pages = 0;
  QStringList failed;
  QStringList done;
  const QHash<QString, QString> names = namesOf(outcomes);
  for (const PageOutcome& o : outcomes) {
    changes += o.changes;
    if (o.changes > 0) {
      ++pages;
      done.append(QStringLiteral("%1: replaced %2").arg(names.value(o.path)).arg(o.changes));
    }
    if (!o.failure.isEmpty())
      failed.append(QStringLiteral("%1: failed, %2").arg(names.value(o.path), o.failure));
  }
  QString report = QStringLiteral("Replaced %1 %2 in %3 %4.")
                       .arg(changes)
                       .arg(changes == 1 ? QStringLiteral("match") : QStringLiteral("matches"))
                       .arg(pages)
                       .arg(pages == 1 ? QStringLiteral("page") : QStringLiteral("pages"));
  if (!failed.isEmpty())
    report +=
        QStringLiteral(" %1 %2 not written.")
            .arg(failed.size())
            .arg(failed.size() == 1 ? QStringLiteral("page was") : QStringLiteral("pages were"));
  QStringList lines = failed + done;
  if (lines.size() > kReportLines) {
    const qsizetype more = lines.size() - kReportLines;
    lines = lines.first(kReportLines);
    lines.append(QStringLiteral("... and %1 more").arg(more));
  }
  if (!lines.isEmpty()) report += QStringLiteral("\n\n") + lines.join(u'\n');
  return report;
}

}  // namespace pagebatch
