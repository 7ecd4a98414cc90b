#pragma once

#include <array>

// The Pro options window's three collapsible panels: one open at a time,
// stacked from the top in the order 0, 2, 1 with 200 twips between them.
namespace panelstack {

constexpr int kCount = 3;
constexpr float kGap = 200.0F;  // twips

// Open states after a click on the header of panel index: that one open.
std::array<bool, kCount> expandedStates(int index);

// Tops by panel index, from the heights as they are after the click. The top
// of panel 0 stays; panel 2 follows it and panel 1 follows panel 2. Summed in
// single precision, as the panel positions are kept.
std::array<float, kCount> restack(float top0, const std::array<float, kCount>& heights);

}  // namespace panelstack
