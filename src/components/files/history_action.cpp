#include "files/history_action.h"

namespace history {

namespace {

// Writes happen on the thread that set the scope; another thread's writes
// are not named by it.
thread_local const Action* innermost = nullptr;
thread_local bool unrecorded = false;

}  // namespace

Action::Action(QString name) : name_(std::move(name)), outer_(innermost) { innermost = this; }

Action::~Action() { innermost = outer_; }

Unrecorded::Unrecorded() : outer_(unrecorded) { unrecorded = true; }

Unrecorded::~Unrecorded() { unrecorded = outer_; }

QString currentAction() { return innermost ? innermost->name_ : QStringLiteral("Edit"); }

bool recording() { return !unrecorded; }

}  // namespace history
