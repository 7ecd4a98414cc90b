#include "files/checksum.h"

#include <openssl/evp.h>

#include <QFile>
#include <QIODevice>
#include <QThreadPool>
#include <memory>

#include "files/v_file.h"

namespace checksum {

Sha256::Sha256() : ctx_(EVP_MD_CTX_new()) {
  // Only out of memory could fail here.
  if (!ctx_ || EVP_DigestInit_ex(ctx_, EVP_sha256(), nullptr) != 1) qFatal("SHA-256 unavailable");
}

Sha256::~Sha256() { EVP_MD_CTX_free(ctx_); }

void Sha256::addData(QByteArrayView bytes) {
  EVP_DigestUpdate(ctx_, bytes.data(), size_t(bytes.size()));
}

bool Sha256::addData(QIODevice* device) {
  QByteArray piece(1 << 20, Qt::Uninitialized);
  for (;;) {
    const qint64 n = device->read(piece.data(), piece.size());
    if (n < 0) return false;
    if (n == 0) return true;
    addData(QByteArrayView(piece).first(n));
  }
}

QByteArray Sha256::result() {
  QByteArray out(EVP_MAX_MD_SIZE, Qt::Uninitialized);
  unsigned int size = 0;
  EVP_DigestFinal_ex(ctx_, reinterpret_cast<unsigned char*>(out.data()), &size);
  out.resize(int(size));
  reset();
  return out;
}

void Sha256::reset() { EVP_DigestInit_ex(ctx_, EVP_sha256(), nullptr); }

QByteArray sha256(QByteArrayView bytes) {
  Sha256 hash;
  hash.addData(bytes);
  return hash.result();
}

std::shared_future<QByteArray> sha256Later(QByteArray bytes) {
  auto promise = std::make_shared<std::promise<QByteArray>>();
  std::shared_future<QByteArray> result = promise->get_future().share();
  QThreadPool::globalInstance()->start(
      [promise, bytes = std::move(bytes)] { promise->set_value(sha256(bytes).toHex()); });
  return result;
}

std::shared_future<QByteArray> sha256OfFileLater(const QString& path, const FileStamp& stamp) {
  auto promise = std::make_shared<std::promise<QByteArray>>();
  std::shared_future<QByteArray> result = promise->get_future().share();
  QThreadPool::globalInstance()->start([promise, path, stamp] {
    QByteArray sha;
    QFile file;
    if (filestamp::of(path).sameAs(stamp) && vFile::OpenRegular(file, path)) {
      Sha256 hash;
      if (hash.addData(&file) && file.atEnd() && filestamp::of(path).sameAs(stamp))
        sha = hash.result().toHex();
    }
    promise->set_value(sha);
  });
  return result;
}

}  // namespace checksum
