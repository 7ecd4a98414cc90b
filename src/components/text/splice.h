#pragma once

#include <QtGlobal>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

// Putting one replacement in many places of a page, the one way every tool
// does it: a text or bytes, the places ascending and apart.
namespace splice {

// text with the `length` units at each position replaced by with, edited in
// place: a big page is neither copied nor held twice (growing it reallocates
// once, and the rest moves from the back).
template <typename S, typename W>
S replaceAt(S text, const std::vector<qsizetype>& at, qsizetype length, const W& with) {
  if (at.empty()) return text;
  using Unit = std::remove_reference_t<decltype(*text.data())>;
  constexpr std::size_t unit = sizeof(Unit);
  const qsizetype oldSize = text.size();
  const qsizetype grow = with.size() - length;
  if (grow > 0) {
    text.resize(oldSize + grow * qsizetype(at.size()));
    Unit* data = text.data();
    qsizetype end = oldSize;  // of the stretch still to move
    qsizetype to = text.size();
    for (auto it = at.rbegin(); it != at.rend(); ++it) {
      const qsizetype tail = *it + length;
      to -= end - tail;
      std::memmove(data + to, data + tail, size_t(end - tail) * unit);
      to -= with.size();
      std::memcpy(data + to, with.data(), size_t(with.size()) * unit);
      end = *it;
    }
    return text;
  }
  Unit* data = text.data();
  qsizetype to = at.front();
  qsizetype from = at.front();
  for (const qsizetype hit : at) {
    std::memmove(data + to, data + from, size_t(hit - from) * unit);
    to += hit - from;
    if (with.size() > 0) std::memcpy(data + to, with.data(), size_t(with.size()) * unit);
    to += with.size();
    from = hit + length;
  }
  std::memmove(data + to, data + from, size_t(oldSize - from) * unit);
  text.resize(to + oldSize - from);
  return text;
}

// text with each range [first, second) replaced by with. Ranges of one
// length are replaced in place, others into a new text.
template <typename S, typename Ranges, typename W>
S replaceRanges(S text, const Ranges& ranges, const W& with) {
  if (ranges.empty()) return text;
  const qsizetype length = ranges.begin()->second - ranges.begin()->first;
  bool sameLength = true;
  std::vector<qsizetype> at;
  at.reserve(ranges.size());
  for (const auto& [first, second] : ranges) {
    sameLength = sameLength && second - first == length;
    at.push_back(first);
  }
  if (sameLength) return replaceAt(std::move(text), at, length, with);
  S out;
  out.reserve(text.size() + qsizetype(ranges.size()) * with.size());
  qsizetype from = 0;
  for (const auto& [first, second] : ranges) {
    out.append(text.constData() + from, first - from);
    out.append(with);
    from = second;
  }
  out.append(text.constData() + from, text.size() - from);
  return out;
}

}  // namespace splice
