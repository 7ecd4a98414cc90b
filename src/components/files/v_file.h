#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <functional>
#include <optional>

#include "files/file_stamp.h"
#include "files/status.h"
#include "files/v_file_faults.h"
#include "text/text_buffer.h"

class QFile;

// The only way page, template and switch files are read and written.
namespace vFile {

// Reads the file's bytes as they are. On failure target is left unchanged.
// Every read of a page goes through here. Only a regular file is read (a link
// is followed): a pipe or a device is refused without blocking, and no read
// runs past the size the file had when opened plus kGrowthMargin.
[[nodiscard]] Status LoadBytes(QByteArray& target, const QString& path);

// Reads at most the first maxBytes of the file, on the same terms.
[[nodiscard]] Status LoadHead(QByteArray& target, const QString& path, qint64 maxBytes);

// Opens a regular file (a link is followed) for reading, without blocking on
// anything else; for readers that stream the file rather than hold it.
[[nodiscard]] Status OpenRegular(QFile& file, const QString& path);

// How far a file may grow while it is being read before the read gives up.
inline constexpr qint64 kGrowthMargin = 64 * 1024;

// The words for a failed system call's error number, e.g. "no space left on
// the device"; fallback when the number says nothing useful.
QString reasonOf(int error, const QString& fallback = {});

// A step taken just before a file is replaced, given the file that will be
// (a link followed) and its new bytes; its failure stops the write. Keeping
// a history copy of the old bytes is one.
using BeforeWrite = std::function<Status(const QString& target, const QByteArray& newBytes)>;

// Makes bytes the whole content of the file, atomically. On failure the file is
// left exactly as it was. The one writer every page write goes through (pages
// through pagefile::save, which keeps their history first).
[[nodiscard]] Status SaveBytes(const QByteArray& bytes, const QString& path,
                               const BeforeWrite& before = {});

// The file a write of path would replace (a link followed), or why it may
// not be written: a folder, a read-only file or file system, no folder.
[[nodiscard]] Status WritableTarget(const QString& path, QString& target);

// One stretch of a file replaced: its bytes [from, to) become bytes.
struct Splice final {
  qint64 from = 0;
  qint64 to = 0;
  QByteArray bytes;
};

// A step taken just before a file is replaced by a splice of it, given the
// file that will be (a link followed); its failure stops the write.
using BeforeSplice = std::function<Status(const QString& target)>;

// Makes the file its own bytes with the splice made, atomically, without
// holding it whole: the bytes around the stretch are copied from the file
// into the new one. Only the file stamp describes is written: one written
// or replaced since is left as it is, and the failure says so.
[[nodiscard]] Status SaveSpliced(const Splice& splice, const QString& path, const FileStamp& stamp,
                                 const BeforeSplice& before = {});

struct WriteOptions final {
  // The permissions of a file that was not there (one that was keeps its own).
  std::optional<QFileDevice::Permissions> fresh;
  // Asked before each step; a reason fails the step as a full disk would.
  std::function<QString(WriteStep)> fault;
};

// The atomic replace under SaveBytes, without its checks: the bytes are
// written beside target, synced, and renamed over it, so target is whole,
// old or new, whatever happens. For files the program keeps for itself.
[[nodiscard]] Status WriteWhole(const QByteArray& bytes, const QString& target,
                                const WriteOptions& options = {});

// Reads the whole file into target (text and encoding). On failure target is
// left unchanged.
[[nodiscard]] Status LoadText(TextBuffer& target, const QString& path);

// Makes source's text the whole content of the file, in source's encoding,
// atomically. On failure the file is left exactly as it was.
[[nodiscard]] Status SaveText(const TextBuffer& source, const QString& path);

}  // namespace vFile
