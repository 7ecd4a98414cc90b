#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

// Names inside an archive come from strangers: these functions turn an entry's
// name into a path that stays inside the unpack folder and that every common
// file system can hold. No file is touched here.
namespace archivenames {

// An entry name's bytes as text: UTF-8 when they are valid UTF-8 (the archive's
// own flag, or a tool that wrote UTF-8 without it), otherwise the old DOS code
// page 437 that zip and rar tools used before UTF-8.
QString decodeEntryName(const QByteArray& raw);
QString fromCp437(const QByteArray& raw);

// A path's names as they stand, split at "/" and "\", without empty names
// and ".".
QStringList pathParts(const QString& name);

// One name of a path made safe: control characters and the characters Windows
// forbids become "_", a trailing dot or space goes, a Windows device name
// (CON, nul.txt, COM1 ...) gets a "_" in front, an over-long name is shortened
// keeping its extension. Never empty, never "." or "..".
QString safeComponent(const QString& name);

// An entry's path split into safe names, or why it is refused (an absolute
// path, a ".." anywhere, no name at all). Both "/" and "\" separate.
struct SafePath {
  QStringList parts;
  QString refusal;  // empty when the entry may be unpacked
};
SafePath safeEntryPath(const QString& name);

// Archives we unpack (.zip, .rar, .7z, .tar.gz, .tgz), by the file's name.
bool isArchiveName(const QString& fileName);
// "Product.tar.gz" -> "Product": the name a folder for the archive gets.
QString archiveStem(const QString& fileName);

// A page the program can open: .htm or .html in any letter case, leaving out
// the resource-fork copies macOS puts in "__MACOSX" and "._name" files.
bool isPageName(const QString& relativePath);

// The pages among relative paths, in the order they are listed: the sales
// page first when one is named index or sales (one in a folder whose path
// says "sales" wins), then the others from the shallowest folder down, by name.
QStringList orderPages(const QStringList& relativePaths);

// The paths given out so far in one unpack. Two names that differ only in
// letter case are one name on Windows and macOS, and an exact repeat would
// overwrite: a second file gets " (2)" before its extension; a second folder
// spelled differently joins the first one, as it would on Windows.
class NameTable final {
 public:
  // The relative path ("a/b.htm") the entry is to be written to.
  QString place(const QStringList& parts, bool isFolder);

 private:
  struct Placed {
    QString path;
    bool folder = false;
  };
  QString freeName(const QString& foldedParent, const QString& name) const;

  // Keyed by the case-folded path as given out.
  QHash<QString, Placed> placed_;
  // A folder name as the archive spells it (case-folded), under its parent
  // as given out, to the folder it was given: later entries follow it there.
  QHash<QString, QString> folders_;
};

}  // namespace archivenames
