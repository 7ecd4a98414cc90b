#include "files/checksum.h"

#include <QCryptographicHash>
#include <QFile>
#include <QThreadPool>
#include <memory>

#include "files/v_file.h"

namespace checksum {

std::shared_future<QByteArray> sha256Later(QByteArray bytes) {
  auto promise = std::make_shared<std::promise<QByteArray>>();
  std::shared_future<QByteArray> result = promise->get_future().share();
  QThreadPool::globalInstance()->start([promise, bytes = std::move(bytes)] {
    promise->set_value(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
  });
  return result;
}

std::shared_future<QByteArray> sha256OfFileLater(const QString& path, const FileStamp& stamp) {
  auto promise = std::make_shared<std::promise<QByteArray>>();
  std::shared_future<QByteArray> result = promise->get_future().share();
  QThreadPool::globalInstance()->start([promise, path, stamp] {
    QByteArray sha;
    QFile file;
    if (filestamp::of(path).sameAs(stamp) && vFile::OpenRegular(file, path)) {
      QCryptographicHash hash(QCryptographicHash::Sha256);
      if (hash.addData(&file) && file.atEnd() && filestamp::of(path).sameAs(stamp))
        sha = hash.result().toHex();
    }
    promise->set_value(sha);
  });
  return result;
}

}  // namespace checksum
