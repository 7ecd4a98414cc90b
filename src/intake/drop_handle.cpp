#include "intake/drop_handle.h"

#include <QDir>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

namespace {

// The path a URL names on this machine, empty when it names none.
QString localPath(const QUrl& url) {
  if (!url.isLocalFile()) return {};
  return QDir::toNativeSeparators(url.toLocalFile());
}

}  // namespace

int lstrlenW(const char16_t* text) {
  if (!text) return 0;
  int n = 0;
  while (text[n] != u'\0') ++n;
  return n;
}

QStringList droppedPaths(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  const QList<QUrl> urls = data->urls();
  paths.reserve(urls.size());
  for (const QUrl& url : urls) {
    const QString path = localPath(url);
    if (!path.isEmpty()) paths.append(path);
  }
  return paths;
}

MimeDropHandle::MimeDropHandle(const QMimeData* data) {
  if (!data || !data->hasUrls()) return;
  const QList<QUrl> urls = data->urls();
  entries_.reserve(urls.size());
  for (const QUrl& url : urls) entries_.append(localPath(url));
}

quint32 MimeDropHandle::DragQueryFileW(quint32 index, char16_t* buffer, quint32 size) {
  if (finished_) return 0;
  if (index == kCountQuery) return quint32(entries_.size());
  if (index >= quint32(entries_.size())) return 0;
  const QString& path = entries_.at(qsizetype(index));
  if (!buffer) return quint32(path.size());
  if (size == 0) return 0;
  const quint32 n = std::min(quint32(path.size()), size - 1);
  std::copy_n(reinterpret_cast<const char16_t*>(path.utf16()), n, buffer);
  buffer[n] = u'\0';
  return n;
}

void MimeDropHandle::DragFinish() {
  finished_ = true;
  entries_.clear();
}
