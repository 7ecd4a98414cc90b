#include "files/page_file.h"

#include "files/page_history.h"
#include "files/v_file.h"

namespace pagefile {

Status save(const QByteArray& bytes, const QString& path) {
  return vFile::SaveBytes(bytes, path, history::recordBeforeWrite);
}

}  // namespace pagefile
