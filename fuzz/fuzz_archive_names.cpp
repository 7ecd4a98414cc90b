// Entry names from an archive: whatever the bytes, every name the unpacking
// is given stays inside its folder and is one any common file system can
// hold, and no two files are given names that differ only in letter case.
#include <QSet>

#include "fuzz_input.h"
#include "intake/archive_names.h"

namespace {

void checkPart(const QString& part) {
  FUZZ_CHECK(!part.isEmpty() && part != u"." && part != u"..");
  FUZZ_CHECK(!part.endsWith(u'.') && !part.endsWith(u' '));
  FUZZ_CHECK(part.toUtf8().size() <= 255);
  for (const QChar c : part)
    FUZZ_CHECK(c != u'/' && c != u'\\' && c != u':' && c.category() != QChar::Other_Control);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  archivenames::NameTable table;
  QSet<QString> files;
  // Up to 8 entries, each a name (raw bytes) and whether it is a folder.
  for (int i = 0; i < 8; ++i) {
    const bool folder = in.byte() & 1;
    const QByteArrayView raw = in.piece(255);
    const QString name = archivenames::decodeEntryName(raw.toByteArray());
    const archivenames::SafePath safe = archivenames::safeEntryPath(name);
    if (!safe.refusal.isEmpty()) {
      FUZZ_CHECK(safe.parts.isEmpty());
      continue;
    }
    for (const QString& part : safe.parts) checkPart(part);
    const QString given = table.place(safe.parts, folder);
    for (const QString& part : given.split(u'/')) FUZZ_CHECK(!part.isEmpty() && part != u"..");
    if (!folder) {
      FUZZ_CHECK(!files.contains(given.toCaseFolded()));
      files.insert(given.toCaseFolded());
    }
  }
  return 0;
}
