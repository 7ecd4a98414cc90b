#include "files/reference_files.h"

#include <QDir>
#include <QFileInfo>

namespace reffiles {

const DiskLookup::Listing& DiskLookup::listing(const QString& folder) {
  if (const auto it = listings_.constFind(folder); it != listings_.constEnd()) return *it;
  Listing l;
  const QFileInfoList entries = QDir(folder).entryInfoList(
      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo& info : entries) {
    Entry e;
    e.name = info.fileName();
    e.link = info.isSymLink();
    e.folder = info.isDir();
    e.file = info.isFile();
    l.byLower[e.name.toLower()].append(e.name);
    l.byName.insert(e.name, e);
  }
  return *listings_.insert(folder, std::move(l));
}

DiskLookup::Result DiskLookup::find(const QString& root, const QString& relative) {
  Result r;
  QString folder = root;
  QString spelled;
  const QStringList parts = relative.split(u'/', Qt::SkipEmptyParts);
  for (qsizetype i = 0; i < parts.size(); ++i) {
    const QString& part = parts[i];
    if (part.startsWith(u'.')) {
      r.state = State::Hidden;
      return r;
    }
    const Listing& l = listing(folder);
    const QStringList spellings = l.byLower.value(part.toLower());
    if (spellings.isEmpty()) {
      r.state = State::Missing;
      return r;
    }
    const bool exact = l.byName.contains(part);
    const QString name = exact ? part : spellings.first();
    if (spellings.size() > 1) {
      QStringList twins;
      for (const QString& s : spellings) twins << (spelled.isEmpty() ? s : spelled + u'/' + s);
      r.twins << twins.join(u'|');
    }
    if (!exact) r.state = State::LetterCase;
    spelled = spelled.isEmpty() ? name : spelled + u'/' + name;
    const Entry e = l.byName.value(name);
    QString next = folder + u'/' + name;
    if (e.link) {
      // Followed only while it stays below root: a page's link may not lead
      // the check (or a publish) anywhere else.
      const QString target = QFileInfo(next).canonicalFilePath();
      if (target.isEmpty()) {
        r.state = State::Missing;
        return r;
      }
      if (target != root && !target.startsWith(root + u'/')) {
        r.state = State::LeavesFolder;
        return r;
      }
      next = target;
    }
    const bool last = i == parts.size() - 1;
    if (!last) {
      if (!e.folder) {
        r.state = State::Missing;
        return r;
      }
      folder = next;
      continue;
    }
    if (e.folder) {
      if (r.state != State::LetterCase) r.state = State::Folder;
      return r;
    }
    if (!e.file) {
      r.state = State::NotRegular;
      return r;
    }
    if (r.state != State::LetterCase) r.state = State::Found;
    r.file = next;
    r.onDisk = spelled;
  }
  return r;
}

}  // namespace reffiles
