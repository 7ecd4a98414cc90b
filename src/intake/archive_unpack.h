#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>

// Unpacking an archive a stranger sent into a folder of its own, without any
// window: a window runs it on a worker thread, watches UnpackProgress and
// shows the report.
namespace unpack {

// Bounds on what one archive may put on the disk.
struct Limits {
  qint64 maxBytes = qint64(2) << 30;
  int maxEntries = 20000;
  int maxRatio = 200;  // unpacked size over packed size, per file
  // Below this a file is not held to the ratio: small text files pack far
  // better than 200 to 1, and the total bounds what they can add up to.
  qint64 ratioFloor = qint64(1) << 20;
};

// Shared between the run and whoever watches it.
struct Progress {
  std::atomic<qint64> bytesDone{0};
  std::atomic<qint64> bytesTotal{0};  // what the archive says it holds; 0 if unknown
  std::atomic<int> entriesDone{0};
  std::atomic<int> entriesTotal{0};
  std::atomic<bool> cancel{false};
};

struct Note {
  QString entry;  // the name as the archive gives it
  QString what;   // why it was refused, its new name, or what went wrong
};

struct Report {
  enum class Outcome {
    Unpacked,       // the archive was read to its end (see damaged for entries lost)
    Stopped,        // a limit was reached part way; the whole files stay
    NeedsPassword,  // nothing left behind
    WrongPassword,  // nothing left behind
    Cancelled,      // nothing left behind
    Refused,        // the archive cannot or may not be unpacked; nothing written
    Failed,         // the folder or the disk failed; nothing left behind
  };
  Outcome outcome = Outcome::Failed;
  QString why;        // for every outcome but Unpacked and Cancelled
  QStringList files;  // relative paths of the files written whole, in order
  QList<Note> refused;
  QList<Note> renamed;
  QList<Note> damaged;
  QStringList leftPacked;  // archives inside the archive, as written

  // The pages among the files, in the order they are listed.
  QStringList pages() const;
};

// Unpacks archive into folder, which must be new or empty. Every file is
// written under a temporary name and renamed when whole, never over anything;
// links are never created. Cancelling (progress.cancel) and failures remove
// everything this run created.
Report unpackArchive(const QString& archive, const QString& folder, const QString& password,
                     Progress& progress, const Limits& limits = {});

// What the user is told after a run that left files: how many, and each
// entry refused, renamed, left packed or lost, a few of each.
QString summary(const Report& report, const QString& folder);

// An archive file we unpack: a regular file (a link is followed) whose name
// says zip, rar, 7z or tar.gz.
bool isArchiveFile(const QString& path);

// A new folder for the archive under the user's home: "<home>/Quorvane
// Pages/<archive name>", numbered when that name holds something already.
QString defaultFolder(const QString& home, const QString& archive);
// A new or empty folder for the archive in a folder the user picked: the
// picked one when it is empty, otherwise a new one named after the archive.
QString folderIn(const QString& picked, const QString& archive);

}  // namespace unpack
