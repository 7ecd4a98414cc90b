// Any bytes read and written back unchanged are the same bytes, in memory and
// through a real file; text added to them is written in the file's encoding.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "components/v_file.h"
#include "fuzz_input.h"

namespace {

QString scratchFile() {
  // A RAM-backed folder where there is one: the run is about the code, and a
  // disk's sync would set the pace.
  static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                               ? QStringLiteral("/dev/shm/qv-fuzz-XXXXXX")
                               : QDir::tempPath() + QStringLiteral("/qv-fuzz-XXXXXX"));
  return dir.filePath(QStringLiteral("page.htm"));
}

QByteArray readAll(const QString& path) {
  QFile file(path);
  FUZZ_CHECK(file.open(QIODevice::ReadOnly));
  return file.readAll();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

  const TextBuffer decoded = vFile::decode(bytes);
  FUZZ_CHECK(vFile::encode(decoded) == bytes);

  // Text typed into the page: ASCII stays as typed; other characters are
  // written as UTF-8, or as a character reference in a file that is not UTF-8.
  TextBuffer edited = decoded;
  edited.text += QStringLiteral("x\u00E9\U0001F600");
  const QByteArray added = decoded.encoding == TextEncoding::Bytes
                               ? QByteArray("x&#233;&#128512;")
                               : QByteArray("x\xC3\xA9\xF0\x9F\x98\x80");
  FUZZ_CHECK(vFile::encode(edited) == bytes + added);

  // The real file for one input in four (chosen by the input, so a finding
  // replays): the system calls would otherwise be most of each run.
  if (size % 4 != 0) return 0;
  const QString path = scratchFile();
  {
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
  }
  TextBuffer loaded;
  FUZZ_CHECK(vFile::LoadText(loaded, path).ok());
  FUZZ_CHECK(loaded.encoding == decoded.encoding && loaded.text == decoded.text);
  FUZZ_CHECK(vFile::SaveText(loaded, path).ok());
  FUZZ_CHECK(readAll(path) == bytes);
  return 0;
}
