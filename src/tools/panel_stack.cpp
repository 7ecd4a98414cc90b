#include "tools/panel_stack.h"

namespace panelstack {

std::array<bool, kCount> expandedStates(int index) {
  std::array<bool, kCount> open{};
  for (int i = 0; i < kCount; ++i) open[i] = i == index;
  return open;
}

std::array<float, kCount> restack(float top0, const std::array<float, kCount>& heights) {
  std::array<float, kCount> tops{};
  tops[0] = top0;
  tops[2] = tops[0] + heights[0] + kGap;
  tops[1] = tops[2] + heights[2] + kGap;
  return tops;
}

}  // namespace panelstack
