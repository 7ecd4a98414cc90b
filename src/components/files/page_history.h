#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "files/file_stamp.h"
#include "files/status.h"

// Every page write keeps the bytes it replaces, in the user's own data folder
// (never beside the page), so any change can be taken back. One folder per
// page, named by a hash of its canonical path: a page moved or renamed starts
// a new history, and pages of the same name in different folders never mix.
namespace history {

struct Version final {
  QString id;  // the entry's name inside its page's folder
  qint64 sequence = 0;
  QDateTime time;  // when these bytes were replaced
  QString action;  // what replaced them ("Edit", "Insert Code", ...)
  qint64 size = 0;
  QByteArray sha256;      // hex, of the bytes
  bool original = false;  // the first version ever kept of the page
};

// The folder that holds every page's history. Empty (the default): nothing is
// recorded, so a program or test that never chose a folder leaves no trace.
void setRoot(const QString& folder);
QString root();
// Where the program keeps it: the user's application data folder.
QString standardRoot();

// Keeps the bytes the file at path holds before they become newBytes. Called
// by pagefile::save before the writer replaces the file; a failure means the file must be
// left as it is (the user was asked, or nobody could be).
[[nodiscard]] Status recordBeforeWrite(const QString& path, const QByteArray& newBytes);

// A history copy made as a second name of the page's old file, no byte
// copied: until the writer puts a new file in the page's place it is the page
// itself, so a write that did not happen takes it back (settleLink).
struct Linked final {
  QString target;
  FileStamp stamp;
  QString folder;
  QString stem;
};

// As recordBeforeWrite, for a writer that puts a new file in place of the
// page (vFile::WriteWhole): the old file itself becomes the copy when nothing
// else names it and it is on the history's file system (linked says so);
// otherwise its bytes are copied. known, while it still stands for the file,
// spares reading and checksumming the old bytes. newBytes null: the bytes
// change, and the new ones are not at hand.
[[nodiscard]] Status recordBeforeReplace(const QString& path, const QByteArray* newBytes,
                                         const KnownBytes* known, std::optional<Linked>& linked);

// After that write: the copy becomes private to the history (written), or
// goes again while the page is still its file (not written).
void settleLink(const std::optional<Linked>& linked, bool written);

// A copy of a page's old bytes that a batch of writes makes durable with the
// pages themselves: the bytes go to dataPath, then index to indexPath, both
// before the page is replaced. A reader takes an index only with whole bytes.
struct Copy final {
  QString folder;
  QString stem;
  QString dataPath;
  QString indexPath;
  QByteArray index;
  qsizetype versionsBefore = 0;  // the page's versions when it was planned
};

// Names the copy that writing newBytes over the page at path needs, its
// folders made: none when nothing is recorded, the bytes stay the same, or the
// newest version holds them already. Nothing else is written.
// oldSha, when not empty, is the SHA-256 (hex) of oldBytes, worked out already.
[[nodiscard]] Status planCopy(const QString& path, const QByteArray& oldBytes,
                              const QByteArray& newBytes, std::optional<Copy>& copy,
                              const QByteArray& oldSha = {});

// When no copy could be kept (why): success when the page may be written
// without one, as the question below decides.
[[nodiscard]] Status withoutCopy(const QString& path, const QString& why);

// The housekeeping after copies were written: each page's newest versions, then the total.
void trimAfter(const std::vector<Copy>& kept);

// Asked when no copy can be kept; true writes the page without one. With no
// question installed such a write is refused.
using WithoutCopyQuestion = std::function<bool(const QString& page, const QString& why)>;
void setWithoutCopyQuestion(WithoutCopyQuestion question);

// The page's versions, newest first; only whole ones (size and checksum match).
std::vector<Version> versions(const QString& page);

// The bytes of a version, checked against its checksum.
[[nodiscard]] Status readVersion(const QString& page, const Version& version, QByteArray& bytes);

// Writes the version back over the page through the page writer, so the bytes
// it replaces are kept too (as "Restore") and a restore can be undone.
[[nodiscard]] Status restore(const QString& page, const Version& version);

// Writes each version back over its page, all in one batch of the batch
// writer (files/page_batch_writer.h): each page on its own, one that fails
// says why and leaves the others restored. A status per page, in order.
struct PageVersion final {
  QString page;
  Version version;
};
std::vector<Status> restore(const std::vector<PageVersion>& versions);

// The folder of one page's history.
QString folderOf(const QString& page);

}  // namespace history
