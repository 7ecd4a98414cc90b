// Any bytes read and written back unchanged are the same bytes, in memory and
// through a real file; text added to them is written in the file's encoding.
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtEndian>

#include "files/v_file.h"
#include "fuzz_input.h"
#include "text/text_codec.h"

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

  const TextBuffer decoded = textcodec::decode(bytes);
  FUZZ_CHECK(textcodec::encode(decoded) == bytes);

  // The encoding is UTF-8 exactly when a strict decoder takes the bytes
  // (plain ASCII says so itself); UTF-16 needs its mark.
  const bool bom = bytes.startsWith("\xEF\xBB\xBF");
  QStringDecoder strict(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString strictText = strict.decode(QByteArrayView(bytes).sliced(bom ? 3 : 0));
  switch (decoded.encoding) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
      FUZZ_CHECK(!strict.hasError() && bom == (decoded.encoding == TextEncoding::Utf8Bom));
      break;
    case TextEncoding::Bytes:
      FUZZ_CHECK(strict.hasError() || (!bom && std::none_of(bytes.begin(), bytes.end(),
                                                            [](char c) { return c & 0x80; })));
      break;
    case TextEncoding::Utf16LeBom:
    case TextEncoding::Utf16BeBom:
      FUZZ_CHECK(bytes.size() % 2 == 0 &&
                 (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")));
      break;
  }

  // Text typed into the page: ASCII stays as typed; other characters are
  // written as UTF-8 or UTF-16, or as a character reference in a file that is
  // neither.
  TextBuffer edited = decoded;
  const QString typed = QStringLiteral("x\u00E9\U0001F600");
  edited.text += typed;
  QByteArray added;
  switch (decoded.encoding) {
    case TextEncoding::Bytes:
      added = "x&#233;&#128512;";
      break;
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
      added = "x\xC3\xA9\xF0\x9F\x98\x80";
      break;
    case TextEncoding::Utf16LeBom:
    case TextEncoding::Utf16BeBom:
      added.resize(2 * typed.size());
      if (decoded.encoding == TextEncoding::Utf16LeBom)
        qToLittleEndian<char16_t>(typed.constData(), typed.size(), added.data());
      else
        qToBigEndian<char16_t>(typed.constData(), typed.size(), added.data());
      break;
  }
  FUZZ_CHECK(textcodec::encode(edited) == bytes + added);

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
