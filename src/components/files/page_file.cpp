#include "files/page_file.h"

#include "files/page_history.h"
#include "files/v_file.h"

namespace pagefile {

Status save(const QByteArray& bytes, const QString& path, const KnownBytes* known) {
  std::optional<history::Linked> linked;
  const Status written =
      vFile::SaveBytes(bytes, path, [&](const QString& target, const QByteArray& newBytes) {
        return history::recordBeforeReplace(target, &newBytes, known, linked);
      });
  history::settleLink(linked, written.ok());
  return written;
}

Status saveSplice(const vFile::Splice& splice, const QString& path, const KnownBytes& known) {
  std::optional<history::Linked> linked;
  const Status written = vFile::SaveSpliced(splice, path, known.stamp, [&](const QString& target) {
    return history::recordBeforeReplace(target, nullptr, &known, linked);
  });
  history::settleLink(linked, written.ok());
  return written;
}

}  // namespace pagefile
