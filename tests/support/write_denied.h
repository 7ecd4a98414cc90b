#pragma once

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <cstdlib>

// For the life of the guard the test process cannot write to the given files
// and folders: their write bits are cleared, and since root ignores those bits,
// a root process acts as the user "nobody" meanwhile (its saved id stays root,
// so it can come back). open lists folders that nobody must be able to enter,
// such as a QTemporaryDir, which is private to its owner.
class WriteDenied final {
 public:
  WriteDenied(const QStringList& paths, const QStringList& open = {}) {
    constexpr auto writeBits =
        QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther;
    constexpr auto enterBits =
        QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    // nobody must reach the paths at all: a private folder above them (a
    // clone made with mktemp -d, say) would hide the files, not protect them.
    for (const QString& p : paths + open) openAncestors(p);
    for (const QString& p : open) remember(p, QFile::permissions(p) | enterBits);
    for (const QString& p : paths) remember(p, QFile::permissions(p) & ~writeBits);
    dropped_ = geteuid() == 0 && setresuid(kNobody, kNobody, 0) == 0;
    active_ = geteuid() != 0;
  }
  ~WriteDenied() {
    // A test process left without its rights would fail in confusing ways.
    if (dropped_ && setresuid(0, 0, 0) != 0) std::abort();
    for (auto it = saved_.crbegin(); it != saved_.crend(); ++it)
      QFile::setPermissions(it->first, it->second);
  }
  WriteDenied(const WriteDenied&) = delete;
  WriteDenied& operator=(const WriteDenied&) = delete;

  // False when a root process could not give up its rights: the test cannot
  // take write access away and should be skipped.
  bool active() const { return active_; }

 private:
  static constexpr uid_t kNobody = 65534;

  void openAncestors(const QString& path) {
    for (QDir d = QFileInfo(path).absoluteDir(); !d.isRoot(); d.cdUp()) {
      // Group too: the process keeps root's group while it acts as nobody.
      const QFile::Permissions p = QFile::permissions(d.path());
      const auto enter = QFile::ExeGroup | QFile::ExeOther;
      if ((p & enter) != enter) remember(d.path(), p | enter);
    }
  }

  void remember(const QString& path, QFile::Permissions now) {
    saved_.append({path, QFile::permissions(path)});
    QFile::setPermissions(path, now);
  }

  QList<QPair<QString, QFile::Permissions>> saved_;
  bool dropped_ = false;
  bool active_ = false;
};
