#include "text/line_breaks.h"

#include <QByteArrayView>
#include <algorithm>
#include <array>

#include "text/budget_compare.h"

namespace {

// Aligning a whole page with its file costs at most this many comparisons;
// past it every line break is written the file's usual way.
constexpr qint64 kAlignBudget = 50'000'000;

// Pieces ending after a line feed or a tag's '>': lines of markup whose
// spelling changes little between the file and the engine's serialisation.
std::vector<QByteArrayView> pieces(QByteArrayView s) {
  std::vector<QByteArrayView> out;
  qsizetype start = 0;
  for (qsizetype i = 0; i < s.size(); ++i)
    if (s[i] == '\n' || s[i] == '>') {
      out.push_back(s.sliced(start, i + 1 - start));
      start = i + 1;
    }
  if (start < s.size()) out.push_back(s.sliced(start));
  return out;
}

}  // namespace

namespace linebreaks {

qsizetype Lines::fileAt(qsizetype at) const {
  return at + (std::lower_bound(crlf.begin(), crlf.end(), at) - crlf.begin());
}

Lines lines(const QByteArray& file) {
  Lines out;
  if (!file.contains('\r')) {
    out.text = file;  // shared, not copied
    return out;
  }
  // Counts of "\n", "\r\n", "\r", "\r\r\n", for the usual spelling.
  std::array<qsizetype, 4> counts{};
  out.text.reserve(file.size());
  const qsizetype n = file.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char c = file[i];
    if (c != '\r') {
      if (c == '\n') ++counts[0];
      out.text += c;
      continue;
    }
    if (i + 2 < n && file[i + 1] == '\r' && file[i + 2] == '\n') {
      ++counts[3];
      out.text += '\n';
      out.crlf.push_back(out.text.size());
      out.text += '\n';
      i += 2;
    } else if (i + 1 < n && file[i + 1] == '\n') {
      ++counts[1];
      out.crlf.push_back(out.text.size());
      out.text += '\n';
      ++i;
    } else {
      ++counts[2];
      out.text += '\n';
    }
  }
  static const std::array<QByteArray, 4> spellings = {"\n", "\r\n", "\r", "\r\r\n"};
  const auto most = std::max_element(counts.begin(), counts.end()) - counts.begin();
  out.usual = spellings[std::size_t(most)];
  return out;
}

QByteArray spell(QByteArrayView text, QByteArrayView usual) {
  if (usual == "\n" || !text.contains('\n')) return text.toByteArray();
  const bool pairs = usual == "\r\r\n";
  QByteArray out;
  out.reserve(text.size() + text.size() / 16);
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n;) {
    // A line feed after a CR is spelled already.
    if (text[i] != '\n' || (i > 0 && text[i - 1] == '\r')) {
      out += text[i++];
      continue;
    }
    qsizetype run = 0;
    while (i < n && text[i] == '\n') ++run, ++i;
    if (pairs) {
      for (qsizetype k = 0; k < run / 2; ++k) out += usual;
      if (run % 2) out += "\r\n";
    } else {
      for (qsizetype k = 0; k < run; ++k) out += usual;
    }
  }
  return out;
}

QByteArray follow(const QByteArray& file, const Lines& fileLines, QByteArrayView text) {
  if (fileLines.crlf.empty() && !file.contains('\r')) return text.toByteArray();
  // For each LF of text, the text position of the file's LF it lines up with.
  const std::vector<QByteArrayView> a = pieces(fileLines.text);
  const std::vector<QByteArrayView> b = pieces(text);
  std::vector<qsizetype> matched;  // pairs: position in text, position in the file's text
  qint64 budget = kAlignBudget;
  dtl::Diff<QByteArrayView, std::vector<QByteArrayView>, BudgetCompare<QByteArrayView>> diff(
      a, b, BudgetCompare<QByteArrayView>(&budget));
  diff.compose();
  if (budget > 0) {
    qsizetype at0 = 0, at1 = 0;
    std::size_t i = 0, j = 0;
    for (const auto& element : diff.getSes().getSequence()) {
      switch (element.second.type) {
        case dtl::SES_COMMON:
          if (b[j].endsWith('\n')) {
            matched.push_back(at1 + b[j].size() - 1);
            matched.push_back(at0 + a[i].size() - 1);
          }
          at0 += a[i++].size();
          at1 += b[j++].size();
          break;
        case dtl::SES_DELETE:
          at0 += a[i++].size();
          break;
        case dtl::SES_ADD:
          at1 += b[j++].size();
          break;
      }
    }
  }
  QByteArray out;
  out.reserve(text.size() + text.size() / 16);
  std::size_t next = 0;  // the next matched pair
  qsizetype copied = 0;  // text before this is in out
  const auto flushUnmatched = [&](qsizetype to) {
    out += spell(text.sliced(copied, to - copied), fileLines.usual);
    copied = to;
  };
  for (; next < matched.size(); next += 2) {
    const qsizetype t = matched[next];
    const qsizetype f = matched[next + 1];
    flushUnmatched(t);
    const qsizetype at = fileLines.fileAt(f);
    out += file[at] == '\r' && at + 1 < file.size() && file[at + 1] == '\n' &&
                   std::binary_search(fileLines.crlf.begin(), fileLines.crlf.end(), f)
               ? QByteArrayView("\r\n")
               : QByteArrayView(file).sliced(at, 1);
    copied = t + 1;
  }
  flushUnmatched(text.size());
  return out;
}

}  // namespace linebreaks
