#pragma once

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "publish/publish_plan.h"
#include "publish/site_store.h"
#include "publish/transfer.h"

// Shared steps of the publishing tests: writing local pages, one publish as
// the window does it (scan, compare, send, remember), and reading back what
// landed on the server.
namespace publishTest {

inline void write(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(bytes);
}

inline QByteArray read(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

struct Published final {
  Outcome outcome;
  QStringList sent;
};

inline SiteFields fieldsOf(const Site& s) {
  return SiteFields{s.protocol, s.host, s.port, s.user, s.remoteFolder};
}

inline Published publish(const Site& site, const Trust& trust, SiteStore& store,
                         const QStringList& pages, const std::atomic_bool& cancel = false,
                         const std::function<void(qint64)>& onProgress = {}) {
  const auto files = filesToPublish(pages);
  const auto items = uploadItems(files, store.uploaded(fieldsOf(site)));
  Published p;
  Transfer t(site, trust);
  UploadCallbacks cb;
  cb.progress = [&](qint64 sent, const QString&) {
    if (onProgress) onProgress(sent);
  };
  cb.fileDone = [&](std::size_t i, const QByteArray& sha) {
    p.sent << items[i].remotePath;
    store.rememberUpload(fieldsOf(site), items[i].remotePath, sha);
  };
  p.outcome = t.upload(items, cb, cancel);
  return p;
}

// Every file below folder, relative and sorted, hidden ones included.
inline QStringList remoteFiles(const QString& folder) {
  QStringList out;
  QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) out << QDir(folder).relativeFilePath(it.next());
  out.sort();
  return out;
}

}  // namespace publishTest
