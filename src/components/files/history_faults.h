#pragma once

#include <QString>
#include <functional>

// A seam for tests: the history asks the hook before each step of keeping a
// copy whether the step fails, the way a full disk or a missing permission
// would. Nothing installs a hook in the program itself.
namespace history {

enum class Step { Folder, Data, Index };

// The reason the step fails, or an empty string to let it go ahead.
using Fault = std::function<QString(Step)>;

void setFault(Fault hook);

// What the installed hook says of the step (empty without one).
QString injectedFault(Step step);

class ScopedFault final {
 public:
  explicit ScopedFault(Fault hook) { setFault(std::move(hook)); }
  ~ScopedFault() { setFault({}); }
  ScopedFault(const ScopedFault&) = delete;
  ScopedFault& operator=(const ScopedFault&) = delete;
};

}  // namespace history
