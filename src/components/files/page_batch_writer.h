#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// Many pages written at once for the price of a few syncs instead of one per
// page. Every new file is written beside the one it replaces (each page's new
// bytes and the history copy of its old ones), all of them are made durable
// together, the history copies are put in place and made durable, and only
// then is each page renamed over its file and its folder synced. After a crash
// at any point each page holds its old bytes or its new ones, and a page that
// holds new bytes has its old ones in the history.
//
// A failure keeps each page on its own: the page that fails is left exactly
// as it was and its outcome says why; every other page of the batch is still
// written. Nothing is rolled back.
namespace pagebatchwriter {

// What a page held when it was read, so that a page another program changed
// since is not overwritten with an edit of its old bytes.
struct Identity final {
  qint64 size = 0;
  size_t hash = 0;
  static Identity of(const QByteArray& bytes);
  bool operator==(const Identity&) const = default;
};

struct Change final {
  QString path;
  QByteArray bytes;                  // the page's whole new content
  std::optional<Identity> expected;  // none: whatever the page holds now is replaced
};

struct Outcome final {
  enum class Result { Written, Changed, Failed };
  Result result = Result::Failed;
  QString why;  // for Changed and Failed, in words a user can read
  bool written() const { return result == Result::Written; }
};

// One outcome per change, in the same order. A page that already holds its
// new bytes is not touched and counts as written. Each page's history copy is
// kept as pagefile::save keeps it (the current history::Action names it).
std::vector<Outcome> write(std::vector<Change> changes);

}  // namespace pagebatchwriter
