#pragma once

#include <QString>

// Success, or the reason something failed, in words a user can read.
class Status final {
 public:
  static Status success() { return Status{}; }
  static Status failure(QString why) { return Status{std::move(why)}; }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const QString& why() const { return why_; }

 private:
  Status() = default;
  explicit Status(QString why) : why_(std::move(why)), failed_(true) {}
  QString why_;
  bool failed_ = false;
};
