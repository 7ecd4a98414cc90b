#include "files/v_tools.h"

#include <QFileInfo>

namespace vTools {

bool Exists(const QString& path, bool) { return !path.isEmpty() && QFileInfo(path).isFile(); }

}  // namespace vTools
