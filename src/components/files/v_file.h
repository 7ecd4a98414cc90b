#pragma once

#include <QByteArray>
#include <QString>

class QFile;

#include "files/status.h"
#include "text/text_buffer.h"

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

// Makes bytes the whole content of the file, atomically. On failure the file is
// left exactly as it was. The one writer every page write goes through.
[[nodiscard]] Status SaveBytes(const QByteArray& bytes, const QString& path);

// Reads the whole file into target (text and encoding). On failure target is
// left unchanged.
[[nodiscard]] Status LoadText(TextBuffer& target, const QString& path);

// Makes source's text the whole content of the file, in source's encoding,
// atomically. On failure the file is left exactly as it was.
[[nodiscard]] Status SaveText(const TextBuffer& source, const QString& path);

}  // namespace vFile
