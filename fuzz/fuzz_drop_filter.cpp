// The drop path filter: from the paths a drop hands over, exactly those
// containing ".htm" reach the list, in order; a drop that lies about its
// lengths or fails part way cannot crash it, and the drop is always released.
#include <QApplication>
#include <QLabel>
#include <QListWidget>

#include "fuzz_input.h"
#include "intake/drop_handle.h"
#include "intake/mod_ole.h"

namespace {

// A drop whose answers come from the fuzz input: counts and lengths that do
// not match the paths, copies that fail or come back short.
class LyingDropHandle final : public DropHandle {
 public:
  LyingDropHandle(QStringList paths, FuzzInput& in) : paths_(std::move(paths)), in_(in) {}

  quint32 DragQueryFileW(quint32 index, char16_t* buffer, quint32 size) override {
    FUZZ_CHECK(!finished_);
    const uint8_t lie = in_.byte();
    if (index == kCountQuery) return quint32(paths_.size()) + (lie % 4 == 0 ? lie / 4 : 0);
    const QString path = index < quint32(paths_.size()) ? paths_.at(index) : QString();
    if (!buffer) {
      if (lie % 8 == 0) return 0xFFFFFFFFu;
      return lie % 4 == 1 ? quint32(lie / 8) : quint32(path.size());
    }
    FUZZ_CHECK(size > 0);
    if (lie % 5 == 0) return 0;
    // Never writes past size: the caller's buffer is all it may use.
    const quint32 n = std::min(quint32(path.size()), size - 1);
    std::copy_n(reinterpret_cast<const char16_t*>(path.utf16()), n, buffer);
    buffer[n] = u'\0';
    return n;
  }

  void DragFinish() override {
    FUZZ_CHECK(!finished_);
    finished_ = true;
  }

  bool finished() const { return finished_; }

 private:
  QStringList paths_;
  FuzzInput& in_;
  bool finished_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QListWidget list;
  static QLabel label;
  FuzzInput in(data, size);
  const uint8_t flags = in.byte();
  const bool utf16 = flags & 1;
  const QString all = textOf(in.piece(255), utf16) + textOf(in.piece(255), utf16);
  // A path never holds a NUL: the copy call ends it there.
  const QStringList paths = QString(all).remove(QChar(u'\0')).split(u'\n');

  list.clear();
  const int before = flags >> 6;
  for (int i = 0; i < before; ++i) list.addItem(QStringLiteral("/earlier/page%1.htm").arg(i));
  label.setText(QStringLiteral("unchanged"));

  if (flags & 2) {
    LyingDropHandle drop(paths, in);
    modOle::ProcessHDrop(drop, &list, &label);
    FUZZ_CHECK(drop.finished());
    // Whatever the drop claimed, only paths it holds (or their starts) with
    // ".htm" are listed, in order.
    qsizetype next = 0;
    for (int row = before; row < list.count(); ++row) {
      const QString item = list.item(row)->text();
      FUZZ_CHECK(item.contains(QLatin1String(".htm")));
      while (next < paths.size() && !paths[next].startsWith(item)) ++next;
      FUZZ_CHECK(next < paths.size());
      ++next;
    }
    return 0;
  }

  MimeDropHandle drop(paths);
  modOle::ProcessHDrop(drop, &list, &label);
  FUZZ_CHECK(drop.finished());
  QStringList expected;
  for (const QString& path : paths)
    if (!path.isEmpty() && path.contains(QLatin1String(".htm"), Qt::CaseSensitive))
      expected << path;
  FUZZ_CHECK(list.count() == before + expected.size());
  for (int i = 0; i < expected.size(); ++i)
    FUZZ_CHECK(list.item(before + i)->text() == expected[i]);
  FUZZ_CHECK(label.text() == (list.count() == 0 ? modOle::kNoValidFiles : modOle::kDone));
  return 0;
}
