#include "files/page_limit.h"

#include <QFileInfo>

#include "files/v_file.h"

namespace pagelimit {

namespace {

constexpr qint64 kSniffBytes = 64 * 1024;

QString megabytes(qint64 bytes) { return QString::number((bytes + (1 << 20) - 1) >> 20); }

}  // namespace

Status showable(const QString& path) {
  if (path.isEmpty()) return Status::failure(QStringLiteral("no file name was given"));
  const QFileInfo info(path);
  if (info.isDir()) return Status::failure(QStringLiteral("it is a folder, not a file"));
  if (!info.exists()) return Status::failure(QStringLiteral("the file does not exist"));
  // A pipe or a device is no page, and reading one could block or never end.
  if (!info.isFile()) return Status::failure(QStringLiteral("it is not a regular file"));
  if (!info.isReadable()) return Status::failure(QStringLiteral("the file cannot be read"));
  if (info.size() > kMaxShownBytes)
    return Status::failure(
        QStringLiteral("it is too large for the editor (%1 MB; the limit is %2 MB)")
            .arg(megabytes(info.size()), megabytes(kMaxShownBytes)));
  return Status::success();
}

Status editable(const QString& path) {
  if (Status shown = showable(path); !shown) return shown;
  // Said before any editing rather than after it, when the save fails. A
  // file without write permission is read-only even to root, as the writer
  // refuses it too.
  if (Status canWrite = writable(path); !canWrite) return canWrite;
  QByteArray head;
  if (Status read = vFile::LoadHead(head, path, kSniffBytes); !read) return read;
  // Pages start with markup: binary data shows itself within the first bytes.
  // A UTF-16 page holds a NUL in every ASCII character; its byte order mark
  // says so (four bytes FF FE 00 00 are UTF-32, which no browser reads).
  const bool utf16 =
      head.startsWith("\xFE\xFF") ||
      (head.startsWith("\xFF\xFE") && !head.startsWith(QByteArray("\xFF\xFE\0\0", 4)));
  if (!utf16 && head.contains('\0'))
    return Status::failure(QStringLiteral("it is not a text page (it holds NUL bytes)"));
  return Status::success();
}

Status writable(const QString& path) {
  if (const QFileInfo info(path); !info.isWritable() || !(info.permissions() & QFile::WriteOwner))
    return Status::failure(QStringLiteral("the file is read-only"));
  return Status::success();
}

bool tooLarge(const QString& path) {
  const QFileInfo info(path);
  return info.isFile() && info.size() > kMaxShownBytes;
}

}  // namespace pagelimit
