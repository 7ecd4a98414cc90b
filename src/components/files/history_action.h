#pragma once

#include <QString>

// What the next page writes are, as the history names them. A caller sets it
// for the span of its write; writes outside any scope are the editor's ("Edit").
namespace history {

class Action final {
 public:
  explicit Action(QString name);
  ~Action();
  Action(const Action&) = delete;
  Action& operator=(const Action&) = delete;

 private:
  QString name_;
  const Action* outer_;
  friend QString currentAction();
};

// Files written in this scope are not pages (the save switch, templates):
// their writes keep no history.
class Unrecorded final {
 public:
  Unrecorded();
  ~Unrecorded();
  Unrecorded(const Unrecorded&) = delete;
  Unrecorded& operator=(const Unrecorded&) = delete;

 private:
  bool outer_;
};

// The innermost action's name, or "Edit".
QString currentAction();
bool recording();

}  // namespace history
