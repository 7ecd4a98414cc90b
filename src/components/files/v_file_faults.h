#pragma once

#include <QString>
#include <functional>

// A seam for tests: SaveText asks the hook at each step of a write whether the
// step fails, so a test can fail it the way a full disk or a pulled drive
// would. Nothing installs a hook in the program itself.
namespace vFile {

enum class WriteStep { Open, Write, Flush, Commit };

// The reason the step fails, or an empty string to let it go ahead.
using WriteFault = std::function<QString(WriteStep)>;

// Used by every SaveText until replaced; an empty hook removes it.
void setWriteFault(WriteFault hook);

// What the installed hook says of the step (empty without one).
QString injectedWriteFault(WriteStep step);

// Installs a hook for one scope.
class ScopedWriteFault final {
 public:
  explicit ScopedWriteFault(WriteFault hook) { setWriteFault(std::move(hook)); }
  ~ScopedWriteFault() { setWriteFault({}); }
  ScopedWriteFault(const ScopedWriteFault&) = delete;
  ScopedWriteFault& operator=(const ScopedWriteFault&) = delete;
};

}  // namespace vFile
