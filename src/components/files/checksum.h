#pragma once

#include <QByteArray>
#include <future>
#include <memory>
#include <thread>

#include "files/file_stamp.h"

// The SHA-256 (hex) of bytes, worked out on another thread: a big page's
// checksum, started when its bytes are read or written, is ready by the time
// a save needs it, without holding up the window.
namespace checksum {

std::shared_future<QByteArray> sha256Later(QByteArray bytes);

// The same of the file at path, read in pieces; empty when it is not the
// file stamp describes, before or after the read.
std::shared_future<QByteArray> sha256OfFileLater(const QString& path, const FileStamp& stamp);

// The same of bytes handed over in pieces, in order, worked out on another
// thread while the caller goes on: a big page is checksummed as it is read.
class Pieces final {
 public:
  Pieces();
  // Waits for the pieces handed over.
  ~Pieces();
  Pieces(const Pieces&) = delete;
  Pieces& operator=(const Pieces&) = delete;

  // Waits while many pieces wait, so they never pile up in memory.
  void add(QByteArray piece);
  // After the last piece.
  std::shared_future<QByteArray> result();

 private:
  struct State;
  std::shared_ptr<State> state_;
  std::thread thread_;
};

}  // namespace checksum
