#include "files/checksum.h"

#include <QCryptographicHash>
#include <QThreadPool>
#include <memory>

namespace checksum {

std::shared_future<QByteArray> sha256Later(QByteArray bytes) {
  auto promise = std::make_shared<std::promise<QByteArray>>();
  std::shared_future<QByteArray> result = promise->get_future().share();
  QThreadPool::globalInstance()->start([promise, bytes = std::move(bytes)] {
    promise->set_value(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
  });
  return result;
}

}  // namespace checksum
