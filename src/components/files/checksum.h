#pragma once

#include <QByteArray>
#include <future>

#include "files/file_stamp.h"

// The SHA-256 (hex) of bytes, worked out on another thread: a big page's
// checksum, started when its bytes are read or written, is ready by the time
// a save needs it, without holding up the window.
namespace checksum {

std::shared_future<QByteArray> sha256Later(QByteArray bytes);

// The same of the file at path, read in pieces; empty when it is not the
// file stamp describes, before or after the read.
std::shared_future<QByteArray> sha256OfFileLater(const QString& path, const FileStamp& stamp);

}  // namespace checksum
