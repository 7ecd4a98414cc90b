#include "files/checksum.h"

#include <QCryptographicHash>
#include <QFile>
#include <QThreadPool>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

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

struct Pieces::State {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<QByteArray> waiting;
  bool last = false;
  std::promise<QByteArray> sha;
  std::shared_future<QByteArray> result = sha.get_future().share();
};

namespace {

constexpr std::size_t kMostWaiting = 8;

}  // namespace

Pieces::Pieces() : state_(std::make_shared<State>()) {
  thread_ = std::thread([state = state_] {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (;;) {
      std::unique_lock lock(state->mutex);
      state->changed.wait(lock, [&] { return !state->waiting.empty() || state->last; });
      if (state->waiting.empty()) break;
      const QByteArray piece = std::move(state->waiting.front());
      state->waiting.pop_front();
      lock.unlock();
      state->changed.notify_all();
      hash.addData(piece);
    }
    state->sha.set_value(hash.result().toHex());
  });
}

Pieces::~Pieces() {
  result();
  thread_.join();
}

void Pieces::add(QByteArray piece) {
  std::unique_lock lock(state_->mutex);
  state_->changed.wait(lock, [&] { return state_->waiting.size() < kMostWaiting; });
  state_->waiting.push_back(std::move(piece));
  lock.unlock();
  state_->changed.notify_all();
}

std::shared_future<QByteArray> Pieces::result() {
  {
    const std::lock_guard lock(state_->mutex);
    state_->last = true;
  }
  state_->changed.notify_all();
  return state_->result;
}

}  // namespace checksum
