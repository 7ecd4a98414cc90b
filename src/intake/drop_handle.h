#pragma once

#include <QStringList>
#include <QtGlobal>

class QMimeData;

// What a file drop hands over: a handle through which its paths are read one
// at a time, then released. The calls keep the shape of the shell's own
// (count query, length query, copy into a caller's buffer), so the reading
// code is the same whether the paths come from the shell or from Qt.
class DropHandle {
 public:
  // The index that asks for the number of paths instead of one path.
  static constexpr quint32 kCountQuery = 0xFFFFFFFF;

  virtual ~DropHandle() = default;

  // index == kCountQuery: the number of paths in the drop.
  // buffer == nullptr: the length of path `index` in characters, without the
  //   terminating NUL; 0 means the path cannot be used.
  // Otherwise copies path `index` and a NUL into buffer, which holds `size`
  //   characters (a path too long is cut to size - 1); returns the characters
  //   copied without the NUL, 0 on failure.
  virtual quint32 DragQueryFileW(quint32 index, char16_t* buffer, quint32 size) = 0;

  // Releases the drop; nothing may be read afterwards.
  virtual void DragFinish() = 0;
};

// The number of characters before the first NUL.
int lstrlenW(const char16_t* text);

// The local paths a drag carries, in the source's order, with native
// separators. Entries that are no local file (web addresses) are left out.
QStringList droppedPaths(const QMimeData* data);

// A drop delivered by Qt: the URLs of the dragged data, read once when the
// drop arrives. A URL without a local path (a web address) reports length 0.
class MimeDropHandle final : public DropHandle {
 public:
  explicit MimeDropHandle(const QMimeData* data);
  // For callers that already hold the entries (empty entry = unusable).
  explicit MimeDropHandle(QStringList entries) : entries_(std::move(entries)) {}

  quint32 DragQueryFileW(quint32 index, char16_t* buffer, quint32 size) override;
  void DragFinish() override;

  bool finished() const { return finished_; }

 private:
  QStringList entries_;
  bool finished_ = false;
};
