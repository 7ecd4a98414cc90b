#include "support/test_archives.h"

#include <archive.h>
#include <archive_entry.h>

#include <QFile>
#include <QtEndian>
#include <clocale>
#include <memory>

namespace testarchive {
namespace {

quint32 crc32(const QByteArray& bytes) {
  quint32 crc = 0xFFFFFFFF;
  for (const char c : bytes) {
    crc ^= static_cast<unsigned char>(c);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
  }
  return ~crc;
}

template <typename T>
void put(QByteArray& out, T value) {
  char bytes[sizeof(T)];
  qToLittleEndian(value, bytes);
  out.append(bytes, sizeof(T));
}

// A RAR 4 block: its CRC (low half of the CRC-32 of the rest) in front.
QByteArray block(const QByteArray& rest) {
  QByteArray out;
  put<quint16>(out, quint16(crc32(rest) & 0xFFFF));
  return out + rest;
}

}  // namespace

bool write(const QString& path, Format format, const QList<Entry>& entries,
           const QByteArray& password) {
  // Names are UTF-8 whatever the test's locale.
  locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
  const locale_t before = uselocale(utf8);
  std::unique_ptr<archive, decltype(&archive_write_free)> a(archive_write_new(),
                                                            archive_write_free);
  switch (format) {
    case Format::Zip:
      archive_write_set_format_zip(a.get());
      if (!password.isEmpty()) {
        archive_write_set_options(a.get(), "zip:encryption=aes256");
        archive_write_set_passphrase(a.get(), password.constData());
      }
      break;
    case Format::SevenZip:
      archive_write_set_format_7zip(a.get());
      break;
    case Format::TarGz:
      archive_write_set_format_pax_restricted(a.get());
      archive_write_add_filter_gzip(a.get());
      break;
  }
  bool ok = archive_write_open_filename(a.get(), QFile::encodeName(path).constData()) == ARCHIVE_OK;
  for (const Entry& e : entries) {
    if (!ok) break;
    std::unique_ptr<archive_entry, decltype(&archive_entry_free)> h(archive_entry_new(),
                                                                    archive_entry_free);
    archive_entry_copy_pathname(h.get(), e.name.constData());
    archive_entry_set_perm(h.get(), 0644);
    archive_entry_set_mtime(h.get(), 1700000000, 0);
    switch (e.kind) {
      case Entry::File:
        archive_entry_set_filetype(h.get(), AE_IFREG);
        archive_entry_set_size(h.get(), e.data.size());
        break;
      case Entry::Folder:
        archive_entry_set_filetype(h.get(), AE_IFDIR);
        archive_entry_set_perm(h.get(), 0755);
        break;
      case Entry::Symlink:
        archive_entry_set_filetype(h.get(), AE_IFLNK);
        archive_entry_copy_symlink(h.get(), e.data.constData());
        break;
      case Entry::Hardlink:
        archive_entry_set_filetype(h.get(), AE_IFREG);
        archive_entry_copy_hardlink(h.get(), e.data.constData());
        break;
    }
    ok = archive_write_header(a.get(), h.get()) == ARCHIVE_OK;
    if (ok && e.kind == Entry::File && !e.data.isEmpty())
      ok = archive_write_data(a.get(), e.data.constData(), e.data.size()) == e.data.size();
  }
  ok = archive_write_close(a.get()) == ARCHIVE_OK && ok;
  uselocale(before);
  freelocale(utf8);
  return ok;
}

QByteArray rar4(const QList<Entry>& files) {
  QByteArray out("Rar!\x1a\x07\x00", 7);
  QByteArray main;
  put<quint8>(main, 0x73);  // archive header
  put<quint16>(main, 0);
  put<quint16>(main, 13);
  put<quint16>(main, 0);
  put<quint32>(main, 0);
  out += block(main);
  for (const Entry& f : files) {
    const bool folder = f.kind == Entry::Folder;
    const QByteArray data = folder ? QByteArray() : f.data;
    QByteArray h;
    put<quint8>(h, 0x74);                          // file header
    put<quint16>(h, folder ? 0x80E0 : 0x8000);     // has data size; 0xE0: a folder
    put<quint16>(h, quint16(32 + f.name.size()));  // header size
    put<quint32>(h, quint32(data.size()));         // packed size
    put<quint32>(h, quint32(data.size()));         // unpacked size
    put<quint8>(h, 0);                             // made on MS-DOS
    put<quint32>(h, crc32(data));                  // data CRC
    put<quint32>(h, 0x57210000);                   // 1 Jan 2023, DOS time
    put<quint8>(h, 20);                            // version needed
    put<quint8>(h, 0x30);                          // stored
    put<quint16>(h, quint16(f.name.size()));
    put<quint32>(h, folder ? 0x10 : 0x20);  // DOS attributes
    h += f.name;
    out += block(h) + data;
  }
  QByteArray end;
  put<quint8>(end, 0x7B);
  put<quint16>(end, 0x4000);
  put<quint16>(end, 7);
  return out + block(end);
}

void declareSize(QByteArray& zip, const QByteArray& name, quint32 size) {
  // Where each header keeps the name's length, the name and the unpacked size.
  struct Header {
    const char* signature;
    int lengthAt, nameAt, sizeAt;
  };
  for (const Header h : {Header{"PK\x01\x02", 28, 46, 24}, Header{"PK\x03\x04", 26, 30, 22}}) {
    for (qsizetype at = zip.indexOf(h.signature); at >= 0; at = zip.indexOf(h.signature, at + 4)) {
      const auto length = qFromLittleEndian<quint16>(zip.constData() + at + h.lengthAt);
      if (zip.mid(at + h.nameAt, length) == name) qToLittleEndian(size, zip.data() + at + h.sizeAt);
    }
  }
}

QByteArray noise(qsizetype size, quint32 seed) {
  QByteArray bytes(size, Qt::Uninitialized);
  quint32 x = seed * 2654435761u + 1;
  for (char& c : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = char(x);
  }
  return bytes;
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

}  // namespace testarchive
