#pragma once

#include <QByteArray>
#include <future>

// The SHA-256 (hex) of bytes, worked out on another thread: a big page's
// checksum, started when its bytes are read or written, is ready by the time
// a save needs it, without holding up the window.
namespace checksum {

std::shared_future<QByteArray> sha256Later(QByteArray bytes);

}  // namespace checksum
