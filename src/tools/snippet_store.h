#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

#include "files/status.h"

// My Code: the user's own pieces of code, kept once in one file of the
// user's data folder (never beside the pages) and used on many pages.
struct Snippet final {
  QString name;
  QString code;
  // Codes it held before, newest first: pages may still carry them until
  // they are updated.
  QStringList earlier;
};

namespace snippetstore {

// How many earlier codes a snippet remembers.
inline constexpr int kEarlierKept = 10;

// The file that holds them. Empty (the default): nothing is read or kept, so
// a program or test that never chose one leaves no trace.
void setFile(const QString& path);
QString file();
// Where the program keeps it: the user's application data folder.
QString standardFile();

// The file's bytes for a list, and back; nothing (and why) when the bytes
// are not a list of snippets.
QByteArray toBytes(const QList<Snippet>& snippets);
std::optional<QList<Snippet>> fromBytes(const QByteArray& bytes, QString* why = nullptr);

struct Loaded final {
  QList<Snippet> snippets;
  // A damaged file is moved aside, never emptied: where it went and why.
  QString setAside;
  QString why;
  // The file is there but could not be read or moved: nothing may be
  // written over it.
  bool blocked = false;
};
// Reads the list from path; a missing file is an empty list.
Loaded load(const QString& path);
// Writes the whole list atomically, readable by the owner only.
[[nodiscard]] Status save(const QList<Snippet>& snippets, const QString& path);

// A snippet given new code: the old one joins its earlier codes.
Snippet withCode(Snippet snippet, const QString& code);

// The snippets of an imported list added to a list: one already there with
// the same name and code is left out; a name already taken by other code is
// given a number ("Buy Button (2)"). Their earlier codes stay behind: a file
// from elsewhere must not name what Update Pages replaces in these pages.
// The names given, in order.
QStringList merge(QList<Snippet>& into, const QList<Snippet>& imported);

// Tells every window that shows the list when it changed.
class Notifier final : public QObject {
  Q_OBJECT
 public:
  static Notifier* instance();
 signals:
  void changed();
};

}  // namespace snippetstore
