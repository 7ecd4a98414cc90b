#pragma once

#include <QtGlobal>
#include <dtl/dtl.hpp>

// Counts the comparisons of a diff and, once the budget is spent, answers
// "equal" so the search runs out at once; the caller then throws the result
// away. Keeps the diffs of a save within a second or so on a 10 MB page.
template <typename T>
class BudgetCompare final : public dtl::Compare<T> {
 public:
  explicit BudgetCompare(qint64* left) : left_(left) {}
  bool impl(const T& a, const T& b) const override {
    if (*left_ <= 0) return true;
    --*left_;
    return a == b;
  }

 private:
  qint64* left_;
};
