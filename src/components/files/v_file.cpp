#include "files/v_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "files/v_file_faults.h"
#include "text/text_codec.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#endif

namespace {

vFile::WriteFault& writeFault() {
  static vFile::WriteFault hook;
  return hook;
}

// Gives up a write: the temporary file goes, the file itself is untouched.
Status abandon(QSaveFile& file, const QString& why) {
  file.cancelWriting();
  return Status::failure(why);
}

// Why the last step of a write failed: the error number is read at once,
// before anything else can overwrite it, since QSaveFile itself often says
// only "Unknown error" (a short write on a full disk is no error to it).
QString writeFailure(int error, const QSaveFile& file) {
  return vFile::reasonOf(error, file.errorString());
}

bool onReadOnlyFileSystem(const QString& folder) {
#ifdef Q_OS_UNIX
  struct statvfs fs {};
  return ::statvfs(QFile::encodeName(folder).constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY);
#else
  Q_UNUSED(folder);
  return false;
#endif
}

const QString kNotRegular = QStringLiteral("it is not a regular file");

Status load(QByteArray& target, const QString& path, qint64 atMost) {
  QFile file;
  if (Status opened = vFile::OpenRegular(file, path); !opened) return opened;
  const qint64 limit = file.size() + vFile::kGrowthMargin;
  const bool whole = atMost < 0;
  const QByteArray bytes = file.read(whole ? limit + 1 : std::min(atMost, limit));
  if (file.error() != QFileDevice::NoError) return Status::failure(file.errorString());
  // A file that keeps growing (a log, a special file posing as a plain one)
  // would otherwise be read until memory runs out.
  if (whole && bytes.size() > limit)
    return Status::failure(QStringLiteral("it kept growing while it was being read"));
  target = bytes;
  return Status::success();
}

}  // namespace

namespace vFile {

Status LoadText(TextBuffer& target, const QString& path) {
  QByteArray bytes;
  if (Status read = LoadBytes(bytes, path); !read) return read;
  target = textcodec::decode(bytes);
  return Status::success();
}

Status LoadBytes(QByteArray& target, const QString& path) { return load(target, path, -1); }

Status LoadHead(QByteArray& target, const QString& path, qint64 maxBytes) {
  return load(target, path, std::max<qint64>(maxBytes, 0));
}

Status OpenRegular(QFile& file, const QString& path) {
  if (path.isEmpty()) return Status::failure(QStringLiteral("no file name was given"));
  const QFileInfo info(path);
  if (info.isDir()) return Status::failure(QStringLiteral("it is a folder, not a file"));
  if (!info.exists()) return Status::failure(QStringLiteral("the file does not exist"));
  // Looked at before opening: opening a pipe waits for a writer, and opening
  // a device can itself do something.
  if (!info.isFile()) return Status::failure(kNotRegular);
#ifdef Q_OS_UNIX
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Status::failure(reasonOf(errno));
  // And again on what was opened: the name may lead elsewhere by now.
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    ::close(fd);
    return Status::failure(kNotRegular);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return Status::failure(file.errorString());
  }
#else
  file.setFileName(path);
  if (!file.open(QIODevice::ReadOnly)) return Status::failure(file.errorString());
#endif
  return Status::success();
}

QString reasonOf(int error, const QString& fallback) {
  switch (error) {
    case ENOSPC:
      return QStringLiteral("no space left on the device");
#ifdef EDQUOT
    case EDQUOT:
      return QStringLiteral("the disk quota is used up");
#endif
    case EROFS:
      return QStringLiteral("the file system is read-only");
    case EIO:
      return QStringLiteral("the device reported an input/output error");
    case EACCES:
    case EPERM:
      return QStringLiteral("permission denied");
    case ENOENT:
      return QStringLiteral("the file does not exist");
    case EFBIG:
      return QStringLiteral("the file is too large for the file system");
    case ENAMETOOLONG:
      return QStringLiteral("the file name is too long");
    case EMFILE:
    case ENFILE:
      return QStringLiteral("too many files are open");
    default:
      break;
  }
  if (!fallback.isEmpty() && !fallback.startsWith(u"Unknown error")) return fallback;
  if (error != 0) return QString::fromLocal8Bit(std::strerror(error));
  return QStringLiteral("the system gave no reason");
}

Status SaveText(const TextBuffer& source, const QString& path) {
  return SaveBytes(textcodec::encode(source), path);
}

Status WritableTarget(const QString& path, QString& target) {
  if (path.isEmpty()) return Status::failure(QStringLiteral("no file name was given"));
  target = path;
  // A link stays a link: the file it points to is the one rewritten.
  for (int hops = 0; QFileInfo(target).isSymLink(); ++hops) {
    if (hops > 32) return Status::failure(QStringLiteral("the link points to itself"));
    target = QFileInfo(target).symLinkTarget();
  }
  const QFileInfo info(target);
  if (info.isDir()) return Status::failure(QStringLiteral("it is a folder, not a file"));
  if (onReadOnlyFileSystem(info.absolutePath())) return Status::failure(reasonOf(EROFS));
  // A file without write permission is refused even where the user could
  // override it (root): someone protected it on purpose.
  if (info.exists() && (!info.isWritable() || !(info.permissions() & QFile::WriteOwner)))
    return Status::failure(QStringLiteral("the file is read-only"));
  if (!info.dir().exists()) return Status::failure(QStringLiteral("its folder does not exist"));
  return Status::success();
}

Status SaveBytes(const QByteArray& bytes, const QString& path, const BeforeWrite& before) {
  QString target;
  if (Status writable = WritableTarget(path, target); !writable) return writable;
  if (before)
    if (Status ready = before(target, bytes); !ready) return ready;
  return WriteWhole(bytes, target, {std::nullopt, writeFault()});
}

Status SaveSpliced(const Splice& splice, const QString& path, const FileStamp& stamp,
                   const BeforeSplice& before) {
  QString target;
  if (Status writable = WritableTarget(path, target); !writable) return writable;
  const QString changed = QStringLiteral("it was changed by another program meanwhile");
  QFile old;
  if (Status opened = OpenRegular(old, target); !opened) return opened;
  if (!filestamp::of(target).sameAs(stamp) || splice.from < 0 || splice.from > splice.to ||
      splice.to > stamp.size)
    return Status::failure(changed);
  if (before)
    if (Status ready = before(target); !ready) return ready;
  const auto fault = [](WriteStep step) { return injectedWriteFault(step); };
  QSaveFile file(target);
  file.setDirectWriteFallback(false);
  if (QString why = fault(WriteStep::Open); !why.isEmpty()) return Status::failure(why);
  errno = 0;
  if (!file.open(QIODevice::WriteOnly)) return Status::failure(writeFailure(errno, file));
  // The old bytes a megabyte at a time, through one buffer.
  QByteArray buffer;
  const auto copy = [&](qint64 from, qint64 to) -> QString {
    if (!old.seek(from)) return old.errorString();
    for (qint64 at = from; at < to;) {
      buffer.resize(std::min<qint64>(to - at, 1 << 20));
      const qint64 got = old.read(buffer.data(), buffer.size());
      if (got != buffer.size()) return old.errorString();
      errno = 0;
      if (file.write(buffer) != buffer.size()) return writeFailure(errno, file);
      at += got;
    }
    return {};
  };
  if (QString why = copy(0, splice.from); !why.isEmpty()) return abandon(file, why);
  if (QString why = fault(WriteStep::Write); !why.isEmpty()) return abandon(file, why);
  errno = 0;
  if (file.write(splice.bytes) != splice.bytes.size())
    return abandon(file, writeFailure(errno, file));
  if (QString why = copy(splice.to, stamp.size); !why.isEmpty()) return abandon(file, why);
  if (QString why = fault(WriteStep::Flush); !why.isEmpty()) return abandon(file, why);
  errno = 0;
  if (!file.flush()) return abandon(file, writeFailure(errno, file));
  // Whatever wrote to the file while it was copied: the copy is not its bytes.
  if (!filestamp::of(target).unwrittenSince(stamp)) return abandon(file, changed);
  if (QString why = fault(WriteStep::Commit); !why.isEmpty()) return abandon(file, why);
  errno = 0;
  if (!file.commit()) return Status::failure(writeFailure(errno, file));
  return Status::success();
}

Status WriteWhole(const QByteArray& bytes, const QString& target, const WriteOptions& options) {
  const auto injected = [&](WriteStep step) {
    return options.fault ? options.fault(step) : QString();
  };
  // Written beside the file and renamed over it, so a failure at any point
  // leaves the old file whole; QSaveFile keeps an old file's permissions and
  // syncs the new bytes to the disk before the rename.
  QSaveFile file(target);
  file.setDirectWriteFallback(false);
  if (QString why = injected(WriteStep::Open); !why.isEmpty()) return Status::failure(why);
  const bool fresh = !QFileInfo::exists(target);
  errno = 0;
  if (!file.open(QIODevice::WriteOnly)) return Status::failure(writeFailure(errno, file));
  if (fresh && options.fresh && !file.setPermissions(*options.fresh))
    return abandon(file, file.errorString());
  if (QString why = injected(WriteStep::Write); !why.isEmpty()) {
    file.write(bytes.first(bytes.size() / 2));  // cut short, as on a full disk
    return abandon(file, why);
  }
  errno = 0;
  if (file.write(bytes) != bytes.size()) return abandon(file, writeFailure(errno, file));
  if (QString why = injected(WriteStep::Flush); !why.isEmpty()) return abandon(file, why);
  errno = 0;
  if (!file.flush()) return abandon(file, writeFailure(errno, file));
  if (QString why = injected(WriteStep::Commit); !why.isEmpty()) return abandon(file, why);
  errno = 0;
  if (!file.commit()) return Status::failure(writeFailure(errno, file));
  return Status::success();
}

void setWriteFault(WriteFault hook) { writeFault() = std::move(hook); }

QString injectedWriteFault(WriteStep step) { return writeFault() ? writeFault()(step) : QString(); }

}  // namespace vFile
