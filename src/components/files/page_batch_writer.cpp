#include "files/page_batch_writer.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>
#include <utility>

#include "files/checksum.h"
#include "files/history_faults.h"
#include "files/page_history.h"
#include "files/paths.h"
#include "files/v_file.h"
#include "files/v_file_faults.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pagebatchwriter {

Identity Identity::of(const QByteArray& bytes) { return {bytes.size(), qHash(bytes)}; }

}  // namespace pagebatchwriter

namespace {

using pagebatchwriter::Outcome;

const QString kChanged = QStringLiteral("it changed since it was read");

#ifdef Q_OS_UNIX

QByteArray encoded(const QString& path) { return QFile::encodeName(path); }

// A new file beside target holding bytes, with mode's permissions from its
// first byte on (a private page's new bytes are never readable by others).
// The same "<name>.XXXXXX" form as the single-file writer's temporary files.
// A new file's mode: the usual one less the umask.
constexpr mode_t kNewFile = mode_t(-1);

QString tempName(const QString& target) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  QString name = target + u'.';
  for (int i = 0; i < 6; ++i)
    name += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)]);
  return name;
}

// A test's fault for one write (vFile::WriteFault), asked before the write
// begins so that the write itself may run on another thread.
struct Fault final {
  vFile::WriteStep at = vFile::WriteStep::Open;
  QString why;
};
std::optional<Fault> faultOf(const std::function<QString(vFile::WriteStep)>& hook) {
  for (const vFile::WriteStep step :
       {vFile::WriteStep::Open, vFile::WriteStep::Write, vFile::WriteStep::Flush})
    if (QString why = hook(step); !why.isEmpty()) return Fault{step, why};
  return std::nullopt;
}

Status writeTemp(const QString& target, const QByteArray& bytes, mode_t mode, QString& temp,
                 const std::optional<Fault>& fault = std::nullopt) {
  const auto faultAt = [&fault](vFile::WriteStep step) {
    return fault && fault->at == step ? fault->why : QString();
  };
  if (QString why = faultAt(vFile::WriteStep::Open); !why.isEmpty()) return Status::failure(why);
  int fd = -1;
  QString name;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    name = tempName(target);
    fd = ::open(encoded(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                mode != kNewFile ? S_IRUSR | S_IWUSR : 0666);
    if (fd < 0 && errno != EEXIST) return Status::failure(vFile::reasonOf(errno));
  }
  if (fd < 0) return Status::failure(vFile::reasonOf(EEXIST));
  temp = name;
  const auto fail = [&](int error, const QString& why = {}) {
    ::close(fd);
    return Status::failure(why.isEmpty() ? vFile::reasonOf(error) : why);
  };
  if (mode != kNewFile && ::fchmod(fd, mode) != 0) return fail(errno);
  if (QString why = faultAt(vFile::WriteStep::Write); !why.isEmpty()) {
    [[maybe_unused]] const auto cut = ::write(fd, bytes.constData(), size_t(bytes.size() / 2));
    return fail(0, why);
  }
  for (qsizetype done = 0; done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail(n < 0 ? errno : ENOSPC);
    done += n;
  }
  if (QString why = faultAt(vFile::WriteStep::Flush); !why.isEmpty()) return fail(0, why);
  if (::close(fd) != 0) return Status::failure(vFile::reasonOf(errno));
  return Status::success();
}

// Writes pages' new bytes beside them on a thread of its own while the next
// pages are read and their history copies planned: creating and filling files
// is the kernel's work, and the two overlap.
class BesideWriter final {
 public:
  struct Written final {
    Status status = Status::success();
    QString temp;  // set once the file exists, whether or not it was filled
  };

  BesideWriter() : thread_([this] { run(); }) {}
  ~BesideWriter() {
    {
      const std::lock_guard lock(mutex_);
      closed_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  BesideWriter(const BesideWriter&) = delete;
  BesideWriter& operator=(const BesideWriter&) = delete;

  std::future<Written> write(QString target, QByteArray bytes, mode_t mode,
                             std::optional<Fault> fault) {
    Job job{std::move(target), std::move(bytes), mode, std::move(fault), {}};
    std::future<Written> done = job.done.get_future();
    {
      const std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
    return done;
  }

 private:
  struct Job final {
    QString target;
    QByteArray bytes;
    mode_t mode;
    std::optional<Fault> fault;
    std::promise<Written> done;
  };

  void run() {
    for (;;) {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return closed_ || !jobs_.empty(); });
      if (jobs_.empty()) return;
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      Written written;
      written.status = writeTemp(job.target, job.bytes, job.mode, written.temp, job.fault);
      job.done.set_value(std::move(written));
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool closed_ = false;
  std::thread thread_;  // last: it starts once the rest is made
};

struct Pending final {
  std::size_t index = 0;
  QString target;
  QByteArray bytes;
  bool existed = false;
  struct stat before {};
  std::optional<history::Copy> copy;
  QString pageTemp, dataTemp, indexTemp;
  bool linked = false;  // the history's copy is a second name of the old file
  bool copyPlaced = false;
  bool alive = true;
  QByteArray old;                         // while its history copy is written
  std::shared_future<QByteArray> oldSha;  // of old, worked out on another thread
  std::future<BesideWriter::Written> pageWritten;
};

void removeTemps(Pending& p) {
  for (QString* temp : {&p.pageTemp, &p.dataTemp, &p.indexTemp}) {
    if (!temp->isEmpty()) ::unlink(encoded(*temp).constData());
    temp->clear();
  }
}

dev_t deviceOf(const QString& path) {
  struct stat st {};
  return ::stat(encoded(path).constData(), &st) == 0 ? st.st_dev : dev_t(-1);
}

// Makes everything written so far in these folders durable: one sync of each
// file system (Linux), or of each folder's files where that is not offered.
// The devices whose sync failed, with the reason.
QHash<dev_t, QString> syncAll(const QSet<QString>& folders, const QStringList& files) {
  QHash<dev_t, QString> failed;
#ifdef Q_OS_LINUX
  Q_UNUSED(files);
  QHash<dev_t, QString> devices;
  for (const QString& folder : folders) devices.insert(deviceOf(folder), folder);
  for (auto it = devices.cbegin(); it != devices.cend(); ++it) {
    const int fd = ::open(encoded(it.value()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::syncfs(fd) != 0) failed.insert(it.key(), vFile::reasonOf(errno));
    if (fd >= 0) ::close(fd);
  }
#else
  for (const QString& path : files + QStringList(folders.cbegin(), folders.cend())) {
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    if (::fsync(fd) != 0 && !QFileInfo(path).isDir())
      failed.insert(deviceOf(path), vFile::reasonOf(errno));
    ::close(fd);
  }
#endif
  return failed;
}

QString folderOf(const QString& file) { return QFileInfo(file).absolutePath(); }

// Drops every page whose files lie on a device that could not be synced.
void dropUnsynced(std::vector<Pending>& pending, const QHash<dev_t, QString>& failed,
                  std::vector<Outcome>& out, bool historyToo) {
  if (failed.isEmpty()) return;
  for (Pending& p : pending) {
    if (!p.alive) continue;
    dev_t dev = deviceOf(folderOf(p.target));
    if (historyToo && p.copy && !failed.contains(dev)) dev = deviceOf(p.copy->folder);
    if (!failed.contains(dev)) continue;
    removeTemps(p);
    p.alive = false;
    out[p.index] = {Outcome::Result::Failed, failed.value(dev)};
  }
}

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// The page's old file itself as its history copy, no byte written again: a
// second name for it beside the copy's place, taken only while nothing else
// names the file and it is ours (another name could change it, and the copy
// with it). False: the bytes are to be copied (another file system, say).
bool linkBeside(Pending& p) {
  if (p.before.st_nlink != 1 || p.before.st_uid != ::geteuid()) return false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QString name = tempName(p.copy->dataPath);
    if (::link(encoded(p.target).constData(), encoded(name).constData()) != 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    // The page may have been replaced or written since it was read.
    struct stat linked {};
    if (::stat(encoded(name).constData(), &linked) != 0 || !sameFile(linked, p.before)) {
      ::unlink(encoded(name).constData());
      return false;
    }
    p.dataTemp = name;
    p.linked = true;
    return true;
  }
  return false;
}

// Once the batch has put the page's new file in place (written) or not: a
// linked copy becomes the history's own, or goes while it is still the page.
void settleLinked(const Pending& p, bool written) {
  FileStamp stamp;
  stamp.device = quint64(p.before.st_dev);
  stamp.inode = quint64(p.before.st_ino);
  history::settleLink(history::Linked{p.target, stamp, p.copy->folder, p.copy->stem}, written);
}

// Reads and checks a page of the batch; false when it is done with (its
// outcome set). The checksum its history copy needs is started on another
// thread, so that it is ready by the time the copy is written.
bool readPage(pagebatchwriter::Change& change, QSet<QString>& targets, Pending& p, Outcome& out) {
  if (Status writable = vFile::WritableTarget(change.path, p.target); !writable) {
    out.why = writable.why();
    return false;
  }
  // Written twice in one batch, the second rename would decide silently.
  const QString identity = paths::identityOf(p.target);
  if (targets.contains(identity)) {
    out.why = QStringLiteral("it is in the batch twice");
    return false;
  }
  targets.insert(identity);
  p.existed = ::stat(encoded(p.target).constData(), &p.before) == 0;
  if (p.existed) {
    if (Status read = vFile::LoadBytes(p.old, p.target); !read) {
      out.why = QStringLiteral("it could not be read (%1)").arg(read.why());
      return false;
    }
  }
  if (change.expected && (!p.existed || pagebatchwriter::Identity::of(p.old) != *change.expected)) {
    out = {Outcome::Result::Changed, kChanged};
    return false;
  }
  if (p.existed && p.old == change.bytes) {
    out = {Outcome::Result::Written, {}};
    return false;
  }
  p.bytes = std::move(change.bytes);
  change.bytes = QByteArray();
  if (p.existed && !history::root().isEmpty()) p.oldSha = checksum::sha256Later(p.old);
  return true;
}

// Writes a page read by readPage beside its target, with its history copy;
// false when it failed (its outcome says why).
bool writeBeside(Pending& p, Outcome& out, BesideWriter& writer) {
  // A new file replaces nothing, so it has nothing to keep.
  Status copied = p.existed ? history::planCopy(p.target, p.old, p.bytes, p.copy,
                                                p.oldSha.valid() ? p.oldSha.get() : QByteArray())
                            : Status::success();
  if (copied && p.copy) {
    const auto historyFault = [](history::Step step) {
      return [step](vFile::WriteStep at) {
        return at == vFile::WriteStep::Write ? history::injectedFault(step) : QString();
      };
    };
    if (QString why = history::injectedFault(history::Step::Data); !why.isEmpty())
      copied = Status::failure(why);
    else if (!linkBeside(p))
      copied = writeTemp(p.copy->dataPath, p.old, S_IRUSR | S_IWUSR, p.dataTemp);
    if (copied)
      copied = writeTemp(p.copy->indexPath, p.copy->index, S_IRUSR | S_IWUSR, p.indexTemp,
                         faultOf(historyFault(history::Step::Index)));
  }
  p.old = QByteArray();
  p.oldSha = {};
  if (!copied) {
    removeTemps(p);
    p.copy.reset();
    if (Status without = history::withoutCopy(p.target, copied.why()); !without) {
      out.why = without.why();
      return false;
    }
  }
  const mode_t mode = p.existed ? p.before.st_mode & 07777 : kNewFile;
  p.pageWritten = writer.write(p.target, std::exchange(p.bytes, QByteArray()), mode,
                               faultOf(vFile::injectedWriteFault));
  return true;
}

// Once its new bytes are written beside it: false when that failed (its
// outcome says why, and nothing of it is left).
bool writtenBeside(Pending& p, Outcome& out) {
  BesideWriter::Written written = p.pageWritten.get();
  p.pageTemp = written.temp;
  if (written.status) return true;
  removeTemps(p);
  out.why = written.status.why();
  return false;
}

// Reads, checks and writes beside its target every page of the batch. A few
// pages are read ahead of the one written, their checksums under way
// meanwhile; few enough that their old bytes stay a small part of memory.
void prepare(std::vector<pagebatchwriter::Change>& changes, std::vector<Pending>& pending,
             std::vector<Outcome>& out) {
  constexpr std::size_t kAheadPages = 8;
  constexpr qint64 kAheadBytes = qint64(16) << 20;
  QSet<QString> targets;
  std::deque<Pending> ahead;
  qint64 aheadBytes = 0;
  std::size_t next = 0;
  BesideWriter writer;
  while (next < changes.size() || !ahead.empty()) {
    while (next < changes.size() && ahead.size() < kAheadPages &&
           (ahead.empty() || aheadBytes < kAheadBytes)) {
      Pending p;
      p.index = next;
      if (readPage(changes[next], targets, p, out[next])) {
        aheadBytes += p.old.size();
        ahead.push_back(std::move(p));
      }
      ++next;
    }
    if (ahead.empty()) continue;
    Pending p = std::move(ahead.front());
    ahead.pop_front();
    aheadBytes -= p.old.size();
    if (writeBeside(p, out[p.index], writer)) pending.push_back(std::move(p));
  }
  std::erase_if(pending, [&out](Pending& p) { return !writtenBeside(p, out[p.index]); });
}

void commit(std::vector<Pending>& pending, std::vector<Outcome>& out) {
  QSet<QString> folders;
  QStringList files;
  for (const Pending& p : pending) {
    folders.insert(folderOf(p.target));
    files.append(p.pageTemp);
    if (p.copy) {
      folders.insert(p.copy->folder);
      files << p.dataTemp << p.indexTemp;
    }
  }
  // 1. Every new byte durable under its temporary name.
  dropUnsynced(pending, syncAll(folders, files), out, true);

  // 2. The history copies in place and durable before any page changes, so a
  // page that is new after a crash always has its old bytes kept.
  QSet<QString> historyFolders;
  std::vector<history::Copy> kept;
  for (Pending& p : pending) {
    if (!p.alive || !p.copy) continue;
    const auto lost = [&](int error) {
      removeTemps(p);
      p.alive = false;
      out[p.index].why =
          QStringLiteral("no history copy could be kept: %1").arg(vFile::reasonOf(error));
    };
    if (::rename(encoded(p.dataTemp).constData(), encoded(p.copy->dataPath).constData()) != 0) {
      lost(errno);
      continue;
    }
    p.dataTemp.clear();
    if (::rename(encoded(p.indexTemp).constData(), encoded(p.copy->indexPath).constData()) != 0) {
      const int error = errno;
      ::unlink(encoded(p.copy->dataPath).constData());
      lost(error);
      continue;
    }
    p.indexTemp.clear();
    p.copyPlaced = true;
    historyFolders.insert(p.copy->folder);
    kept.push_back(*p.copy);
  }
  if (!historyFolders.isEmpty()) dropUnsynced(pending, syncAll(historyFolders, {}), out, true);

  // 3. Each page renamed over its file, then the renames made durable.
  QSet<QString> pageFolders;
  for (Pending& p : pending) {
    if (!p.alive) continue;
    if (QString why = vFile::injectedWriteFault(vFile::WriteStep::Commit); !why.isEmpty()) {
      removeTemps(p);
      out[p.index].why = why;
      continue;
    }
    struct stat now {};
    const bool exists = ::stat(encoded(p.target).constData(), &now) == 0;
    if (exists != p.existed || (exists && !sameFile(now, p.before))) {
      removeTemps(p);
      out[p.index] = {Outcome::Result::Changed, kChanged};
      continue;
    }
    if (::rename(encoded(p.pageTemp).constData(), encoded(p.target).constData()) != 0) {
      out[p.index].why = vFile::reasonOf(errno);
      removeTemps(p);
      continue;
    }
    p.pageTemp.clear();
    out[p.index] = {Outcome::Result::Written, {}};
    pageFolders.insert(folderOf(p.target));
  }
  // The pages are in place: a failed sync of their folders can no longer be
  // undone, and the next sync of the disk writes them anyway.
  if (!pageFolders.isEmpty()) syncAll(pageFolders, {});
  for (const Pending& p : pending)
    if (p.copyPlaced && p.linked) settleLinked(p, out[p.index].written());
  history::trimAfter(kept);
}

#endif

}  // namespace

namespace pagebatchwriter {

std::vector<Outcome> write(std::vector<Change> changes) {
  std::vector<Outcome> out(changes.size());
#ifdef Q_OS_UNIX
  std::vector<Pending> pending;
  prepare(changes, pending, out);
  commit(pending, out);
#else
  // Elsewhere each page is written on its own by the single-page writer.
  for (std::size_t i = 0; i < changes.size(); ++i) {
    Change& c = changes[i];
    if (c.expected) {
      QByteArray old;
      if (!vFile::LoadBytes(old, c.path) || Identity::of(old) != *c.expected) {
        out[i] = {Outcome::Result::Changed, kChanged};
        continue;
      }
    }
    const Status saved = vFile::SaveBytes(c.bytes, c.path, history::recordBeforeWrite);
    out[i] = saved ? Outcome{Outcome::Result::Written, {}}
                   : Outcome{Outcome::Result::Failed, saved.why()};
  }
#endif
  return out;
}

}  // namespace pagebatchwriter
