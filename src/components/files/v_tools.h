#pragma once

#include <QString>

namespace vTools {

// True only when a file (not a folder) exists at path. flag is accepted for
// callers that pass false and has no effect.
bool Exists(const QString& path, bool flag = false);

}  // namespace vTools
