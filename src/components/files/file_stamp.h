#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Which file a name leads to and how it stood, taken without reading it: a
// file written, replaced or touched since has another stamp (its change time
// moves with every write, and no program can set it back).
struct FileStamp final {
  quint64 device = 0;
  quint64 inode = 0;
  qint64 size = -1;
  qint64 modifiedNs = 0;
  qint64 changedNs = 0;
  quint64 links = 0;
  bool ownedByUs = false;

  bool valid() const { return size >= 0; }
  // The same file with the same bytes, as far as its stamp tells.
  bool sameAs(const FileStamp& other) const {
    return valid() && device == other.device && inode == other.inode && size == other.size &&
           modifiedNs == other.modifiedNs && changedNs == other.changedNs;
  }
  // The same file, not written since (its change time also moves when a
  // name is added to it, which the history's copy does).
  bool unwrittenSince(const FileStamp& other) const {
    return valid() && device == other.device && inode == other.inode && size == other.size &&
           modifiedNs == other.modifiedNs;
  }
};

namespace filestamp {

// The stamp of the file at path (a link followed); not valid when there is none.
FileStamp of(const QString& path);

}  // namespace filestamp

// What a reader of a page knew of it: the file's stamp as it read it, and
// the SHA-256 (hex) of the bytes it read. While the file's stamp is the same,
// the checksum stands for its bytes without reading them again.
struct KnownBytes final {
  FileStamp stamp;
  QByteArray sha256;

  bool standsFor(const FileStamp& now) const { return sha256.size() == 64 && stamp.sameAs(now); }
};
