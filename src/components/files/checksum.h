#pragma once

#include <QByteArray>
#include <future>

#include "files/file_stamp.h"

struct evp_md_ctx_st;
class QIODevice;

// SHA-256, the program's one checksum: OpenSSL's, several times as fast as
// Qt's own on the hardware that has instructions for it. Results are the
// 32 raw bytes.
namespace checksum {

class Sha256 final {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void addData(QByteArrayView bytes);
  // All the device holds from where it stands; false when a read failed.
  bool addData(QIODevice* device);
  // The checksum of all added, and a fresh start.
  QByteArray result();
  void reset();

 private:
  evp_md_ctx_st* ctx_;
};

QByteArray sha256(QByteArrayView bytes);

}  // namespace checksum

// The SHA-256 (hex) of bytes, worked out on another thread: a big page's
// checksum, started when its bytes are read or written, is ready by the time
// a save needs it, without holding up the window.
namespace checksum {

std::shared_future<QByteArray> sha256Later(QByteArray bytes);

// The same of the file at path, read in pieces; empty when it is not the
// file stamp describes, before or after the read.
std::shared_future<QByteArray> sha256OfFileLater(const QString& path, const FileStamp& stamp);

}  // namespace checksum
