#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Archives made by the tests themselves: zip, 7z and tar.gz through
// libarchive, and RAR 4 by hand (libarchive reads RAR but cannot write it).
namespace testarchive {

struct Entry {
  enum Kind { File, Folder, Symlink, Hardlink };
  QByteArray name;  // as stored: UTF-8 unless a test patches the bytes
  QByteArray data;  // a file's content, a link's target
  Kind kind = File;
};

enum class Format { Zip, SevenZip, TarGz };

// A password encrypts every zip file entry (AES-256).
bool write(const QString& path, Format format, const QList<Entry>& entries,
           const QByteArray& password = {});

// Stored (uncompressed) files; names in the DOS code page, "\" between
// folders, as RAR 4 keeps them.
QByteArray rar4(const QList<Entry>& files);

// Makes a zip's headers say the entry named `name` unpacks to `size` bytes.
void declareSize(QByteArray& zip, const QByteArray& name, quint32 size);

// Bytes that do not compress.
QByteArray noise(qsizetype size, quint32 seed = 1);

QByteArray readAll(const QString& path);
bool writeAll(const QString& path, const QByteArray& bytes);

}  // namespace testarchive
