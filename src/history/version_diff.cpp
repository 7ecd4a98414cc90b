#include "history/version_diff.h"

#include <dtl/dtl.hpp>
#include <vector>

#include "files/v_file.h"
#include "text/budget_compare.h"
#include "text/text_codec.h"

namespace versiondiff {

namespace {

constexpr int kContextLines = 2;
constexpr qsizetype kShownLineLength = 300;  // a minified page is one very long line
constexpr int kShownLines = 4000;
// Past this many comparisons the changed stretch is shown whole, removed then added.
constexpr qint64 kCompareBudget = 50'000'000;

enum class Kind { Same, Removed, Added };

struct Line final {
  Kind kind;
  QStringView text;
  qsizetype nowLine;  // 1-based line of the page now where this line is or would be
};

std::vector<QStringView> linesOf(const QString& text) {
  std::vector<QStringView> lines;
  qsizetype start = 0;
  for (qsizetype i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != u'\n') continue;
    QStringView line = QStringView(text).mid(start, i - start);
    if (line.endsWith(u'\r')) line.chop(1);
    if (i < text.size() || !line.isEmpty()) lines.push_back(line);
    start = i + 1;
  }
  return lines;
}

// The edit from a to b as one list of lines; equal ends are not compared.
std::vector<Line> compare(const std::vector<QStringView>& a, const std::vector<QStringView>& b) {
  std::size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  std::size_t tailA = a.size(), tailB = b.size();
  while (tailA > head && tailB > head && a[tailA - 1] == b[tailB - 1]) --tailA, --tailB;

  std::vector<Line> out;
  for (std::size_t k = 0; k < head; ++k) out.push_back({Kind::Same, b[k], qsizetype(k + 1)});
  const std::vector<QStringView> midA(a.begin() + qsizetype(head), a.begin() + qsizetype(tailA));
  const std::vector<QStringView> midB(b.begin() + qsizetype(head), b.begin() + qsizetype(tailB));
  qint64 budget = kCompareBudget;
  dtl::Diff<QStringView, std::vector<QStringView>, BudgetCompare<QStringView>> diff(
      midA, midB, BudgetCompare<QStringView>(&budget));
  diff.compose();
  qsizetype j = qsizetype(head);  // lines of b passed
  if (budget > 0) {
    for (const auto& [text, info] : diff.getSes().getSequence()) {
      if (info.type == dtl::SES_DELETE) {
        out.push_back({Kind::Removed, text, j + 1});
      } else {
        ++j;
        out.push_back({info.type == dtl::SES_ADD ? Kind::Added : Kind::Same, text, j});
      }
    }
  } else {
    for (const QStringView line : midA) out.push_back({Kind::Removed, line, j + 1});
    for (const QStringView line : midB) out.push_back({Kind::Added, line, ++j});
  }
  for (std::size_t k = tailB; k < b.size(); ++k)
    out.push_back({Kind::Same, b[k], qsizetype(k + 1)});
  return out;
}

QString shown(QStringView line) {
  if (line.size() <= kShownLineLength) return line.toString();
  return line.left(kShownLineLength).toString() +
         QStringLiteral(" … (%1 more characters)").arg(line.size() - kShownLineLength);
}

}  // namespace

QString displayText(const QByteArray& bytes) {
  const TextBuffer text = textcodec::decode(bytes);
  // A page that is not UTF-8 is shown in the single-byte charset most such pages use.
  return text.encoding == TextEncoding::Bytes ? QString::fromLatin1(bytes) : text.text;
}

QString describeChanges(const QByteArray& version, const QByteArray& now) {
  if (version == now) return QStringLiteral("This version is the same as the page as it is now.");
  const QString before = displayText(version);
  const QString after = displayText(now);
  const std::vector<Line> lines = compare(linesOf(before), linesOf(after));

  // Which lines are shown: every change and a little around it.
  std::vector<bool> show(lines.size(), false);
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (lines[k].kind == Kind::Same) continue;
    const std::size_t from = k >= kContextLines ? k - kContextLines : 0;
    const std::size_t to = std::min(lines.size(), k + kContextLines + 1);
    for (std::size_t m = from; m < to; ++m) show[m] = true;
  }

  QString out = QStringLiteral("- only in this version\n+ only in the page as it is now\n");
  int written = 0;
  bool gap = true;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (!show[k]) {
      gap = true;
      continue;
    }
    if (written >= kShownLines) {
      out += QStringLiteral("\n… more changes follow; the list stops here.\n");
      break;
    }
    if (gap) out += QStringLiteral("\nLine %1:\n").arg(lines[k].nowLine);
    gap = false;
    const Line& line = lines[k];
    out += line.kind == Kind::Removed ? QStringLiteral("- ")
           : line.kind == Kind::Added ? QStringLiteral("+ ")
                                      : QStringLiteral("  ");
    out += shown(line.text);
    out += u'\n';
    ++written;
  }
  // Line ends or a last line break alone: nothing to show line by line.
  if (written == 0)
    out += QStringLiteral("\nOnly the line endings or invisible characters differ.\n");
  return out;
}

}  // namespace versiondiff
