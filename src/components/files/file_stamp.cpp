#include "files/file_stamp.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QFileInfo>
#endif

namespace filestamp {

FileStamp of(const QString& path) {
  FileStamp stamp;
#ifdef Q_OS_UNIX
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return stamp;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  stamp.links = st.st_nlink;
  stamp.ownedByUs = st.st_uid == ::geteuid();
#else
  const QFileInfo info(path);
  if (!info.isFile()) return stamp;
  stamp.size = info.size();
  stamp.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
  stamp.changedNs = info.metadataChangeTime().toMSecsSinceEpoch() * 1000000;
#endif
  return stamp;
}

}  // namespace filestamp
