#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The strange files a user can bring in, made in a folder of the test's own:
// one name per kind, each standing for the page the page list names.
namespace badinputs {

// A plain page holding a tag, a closing head tag and a paragraph with an id.
extern const QByteArray kPage;

// "missing file", "folder", "read-only file", "read-only folder",
// "symbolic link", "0-byte file", "binary file", "invalid UTF-8",
// "200 MB page", "path with spaces, quotes and non-ASCII",
// "deleted between listed and used", "named pipe", "link to a device".
QStringList kinds();

struct Input final {
  QString path;        // what the page list names
  QString target;      // the file written through the path (the link's target)
  QByteArray bytes;    // what target holds before the action (empty: no file)
  QStringList denied;  // folders the action must not be able to write into
  bool deleteBeforeUse = false;
};

// Makes the input of that kind in dir. The 200 MB page is made once per
// program in bigDir and reused (each action sees what the last one left).
Input make(const QString& kind, const QString& dir, const QString& bigDir);

}  // namespace badinputs
