#include "files/page_file.h"

#include "files/page_history.h"
#include "files/v_file.h"

namespace pagefile {

Status save(const QByteArray& bytes, const QString& path, const KnownBytes* known) {
  std::optional<history::Linked> linked;
  const Status written =
      vFile::SaveBytes(bytes, path, [&](const QString& target, const QByteArray& newBytes) {
        return history::recordBeforeReplace(target, newBytes, known, linked);
      });
  history::settleLink(linked, written.ok());
  return written;
}

}  // namespace pagefile
