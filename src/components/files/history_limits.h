#pragma once

#include <QtGlobal>

namespace history {

// How much history is kept: every page keeps its original (the first version
// ever recorded) and its newest versions; past the total, the oldest versions
// of any page go first. Originals are never dropped.
struct Limits final {
  int newestPerPage = 50;
  qint64 totalBytes = qint64(500) << 20;
};

// The limits in force (the defaults above until a test sets others).
const Limits& limits();
void setLimits(const Limits& limits);

}  // namespace history
