#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The files a page's references name, looked up on disk the way a web host
// serves them: letter case counts, and nothing outside the page folders is
// reached, through a symbolic link or otherwise.
namespace reffiles {

class DiskLookup final {
 public:
  enum class State {
    Found,
    Folder,        // a folder: the host serves its index
    Missing,       // no such name, in any letter case
    LetterCase,    // there, but spelled otherwise
    NotRegular,    // a pipe, a device, a socket
    LeavesFolder,  // a symbolic link to a place outside root
    Hidden,        // a name along the way starts with '.'
  };
  struct Result final {
    State state = State::Missing;
    QString file;       // Found, LetterCase: the full path of the file on disk
    QString onDisk;     // LetterCase: the relative path as spelled on disk
    QStringList twins;  // "a/Cover.gif|a/cover.gif" for each name along the way
                        // that has a sibling differing only in case
  };

  // relative: '/'-separated below root (a canonical folder), without "." or
  // ".." steps. Each folder is listed once for the lookup's life.
  Result find(const QString& root, const QString& relative);

 private:
  struct Entry final {
    QString name;
    bool link = false;
    bool folder = false;
    bool file = false;  // a regular file (through a link: its target)
  };
  struct Listing final {
    QHash<QString, Entry> byName;
    QHash<QString, QStringList> byLower;  // sorted spellings
  };
  const Listing& listing(const QString& folder);

  QHash<QString, Listing> listings_;
};

}  // namespace reffiles
