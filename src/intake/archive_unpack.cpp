#include "intake/archive_unpack.h"

#include <archive.h>
#include <archive_entry.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QStorageInfo>
#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

#include "files/v_file.h"
#include "intake/archive_names.h"

#ifdef Q_OS_UNIX
#include <clocale>
#endif

namespace unpack {
namespace {

using Outcome = Report::Outcome;

// libarchive gives names in the running thread's character set. Read in
// UTF-8 here, so a name flagged UTF-8 (or stored as UTF-16) arrives as UTF-8
// and an unflagged one arrives as its own bytes, whatever the user's locale.
class Utf8NamesOnThisThread final {
 public:
  Utf8NamesOnThisThread() {
#ifdef Q_OS_UNIX
    for (const char* name : {"C.UTF-8", "en_US.UTF-8"})
      if (!utf8_) utf8_ = newlocale(LC_CTYPE_MASK, name, locale_t(nullptr));
    if (utf8_) before_ = uselocale(utf8_);
#endif
  }
  ~Utf8NamesOnThisThread() {
#ifdef Q_OS_UNIX
    if (utf8_) {
      uselocale(before_);
      freelocale(utf8_);
    }
#endif
  }
  Utf8NamesOnThisThread(const Utf8NamesOnThisThread&) = delete;
  Utf8NamesOnThisThread& operator=(const Utf8NamesOnThisThread&) = delete;

 private:
#ifdef Q_OS_UNIX
  locale_t utf8_ = nullptr;
  locale_t before_ = nullptr;
#endif
};

using Reader = std::unique_ptr<archive, decltype(&archive_read_free)>;

QString errorOf(archive* a) {
  const char* text = archive_error_string(a);
  return text ? QString::fromUtf8(text) : QStringLiteral("no reason given");
}

// Only the formats and filters we mean to read, all inside the library: the
// rest of libarchive's readers include one that opens files named by the
// archive (mtree) and filters that start outside programs.
Reader openReader(const QString& path, const QString& password, QString* error) {
  Reader a(archive_read_new(), archive_read_free);
  archive* r = a.get();
  archive_read_support_format_zip(r);
  archive_read_support_format_rar(r);
  archive_read_support_format_rar5(r);
  archive_read_support_format_7zip(r);
  archive_read_support_format_tar(r);
  archive_read_support_filter_gzip(r);
  archive_read_support_filter_bzip2(r);
  archive_read_support_filter_xz(r);
  if (!password.isEmpty()) archive_read_add_passphrase(r, password.toUtf8().constData());
#ifdef Q_OS_WIN
  const int opened =
      archive_read_open_filename_w(r, reinterpret_cast<const wchar_t*>(path.utf16()), 64 * 1024);
#else
  const int opened = archive_read_open_filename(r, QFile::encodeName(path).constData(), 64 * 1024);
#endif
  if (opened != ARCHIVE_OK) {
    if (error) *error = errorOf(r);
    a.reset();
  }
  return a;
}

QString sizeText(qint64 bytes) {
  constexpr double kMb = 1024.0 * 1024.0;
  if (bytes >= qint64(1) << 30) return QStringLiteral("%1 GB").arg(bytes / (kMb * 1024), 0, 'g', 3);
  return QStringLiteral("%1 MB").arg(bytes / kMb, 0, 'g', 3);
}

QString countText(int n) { return QLocale(QLocale::English).toString(n); }

QString entryName(archive_entry* entry) {
  const char* raw = archive_entry_pathname(entry);
  if (!raw) raw = archive_entry_pathname_utf8(entry);
  return raw ? archivenames::decodeEntryName(QByteArray(raw)) : QString();
}

// The path as the archive means it, for telling a renamed entry from one kept.
QString plainPath(const QString& name) { return archivenames::pathParts(name).join(u'/'); }

// A first look through the archive's headers, writing nothing.
struct Survey {
  int entries = 0;
  qint64 bytes = 0;
  bool encrypted = false;
  bool canDecrypt = false;
  QString unreadable;  // set when not even one entry can be read
};

Survey survey(const QString& path, const Limits& limits, const Progress& progress) {
  Survey s;
  Reader a = openReader(path, {}, &s.unreadable);
  if (!a) return s;
  archive_entry* entry = nullptr;
  for (;;) {
    const int rc = archive_read_next_header(a.get(), &entry);
    if (rc == ARCHIVE_EOF) break;
    // Damage later on is met, and named, when unpacking.
    if (rc < ARCHIVE_WARN) {
      if (s.entries == 0) s.unreadable = errorOf(a.get());
      break;
    }
    ++s.entries;
    if (archive_entry_filetype(entry) == AE_IFREG && archive_entry_size_is_set(entry))
      s.bytes += std::max<la_int64_t>(0, archive_entry_size(entry));
    if (archive_entry_is_encrypted(entry)) s.encrypted = true;
    if (s.entries > limits.maxEntries || progress.cancel) break;
  }
  s.canDecrypt = archive_read_format_capabilities(a.get()) & ARCHIVE_READ_FORMAT_CAPS_ENCRYPT_DATA;
  return s;
}

// The nearest folder of path that exists, for asking about free space.
QString existingAncestor(QString path) {
  while (!QFileInfo::exists(path)) {
    const QString up = QFileInfo(path).path();
    if (up == path) break;
    path = up;
  }
  return path;
}

bool isEmptyFolder(const QString& path) {
  return QDir(path).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// One unpacking: what it has created, so a cancel or a failure can take it
// all back, and the checks every block of data passes.
class Run final {
 public:
  Run(const QString& folder, const Limits& limits, Progress& progress)
      : folder_(QDir::cleanPath(folder)), limits_(limits), progress_(progress) {}

  Report go(const QString& archivePath, const QString& password) {
    shown_ = QFileInfo(archivePath).fileName();
    const QString& shown = shown_;
    if (Report refused; !checkFolder(refused)) return refused;
    const Survey s = survey(archivePath, limits_, progress_);
    if (progress_.cancel) return ended(Outcome::Cancelled);
    if (!s.unreadable.isEmpty())
      return ended(Outcome::Refused,
                   QStringLiteral("\"%1\" cannot be unpacked: it is not a zip, rar, 7z or tar.gz "
                                  "archive, or it is damaged (%2).")
                       .arg(shown, s.unreadable));
    if (s.entries > limits_.maxEntries) return ended(Outcome::Refused, tooManyEntries(shown));
    if (s.bytes > limits_.maxBytes) return ended(Outcome::Refused, tooBig(shown));
    if (s.encrypted && !s.canDecrypt)
      return ended(Outcome::Refused,
                   QStringLiteral("\"%1\" is locked with a password in a way Quorvane cannot "
                                  "open. Only zip archives with a password can be unpacked here.")
                       .arg(shown));
    if (s.encrypted && password.isEmpty())
      return ended(Outcome::NeedsPassword,
                   QStringLiteral("\"%1\" is protected by a password.").arg(shown));
    const QStorageInfo disk(existingAncestor(folder_));
    if (disk.isValid() && disk.bytesAvailable() >= 0 && disk.bytesAvailable() < s.bytes)
      return ended(Outcome::Failed,
                   QStringLiteral("There is not enough free space to unpack \"%1\": it needs %2 "
                                  "and %3 are free.")
                       .arg(shown, sizeText(s.bytes), sizeText(disk.bytesAvailable())));
    progress_.bytesTotal = s.bytes;
    progress_.entriesTotal = s.entries;
    if (!makeFolder()) return undone(Outcome::Failed, writeFailure(folder_));

    QString unreadable;
    Reader a = openReader(archivePath, password, &unreadable);
    if (!a) return undone(Outcome::Refused, unreadable);
    return readAll(a.get(), password);
  }

 private:
  enum class Step { Next, EndOfArchive, Stop };

  bool checkFolder(Report& refused) {
    const QFileInfo info(folder_);
    if (!info.exists() && !info.isSymLink()) return true;
    if (!info.isDir())
      refused = ended(Outcome::Failed, QStringLiteral("%1 is a file, not a folder. Choose a new "
                                                      "or empty folder.")
                                           .arg(QDir::toNativeSeparators(folder_)));
    else if (!isEmptyFolder(folder_))
      refused = ended(Outcome::Failed,
                      QStringLiteral("The folder %1 is not empty. Choose a new or empty folder.")
                          .arg(QDir::toNativeSeparators(folder_)));
    else
      return true;
    return false;
  }

  // Creates the folder and the missing folders above it, remembering which.
  bool makeFolder() {
    QStringList missing;
    for (QString path = folder_; !QFileInfo::exists(path) && !QFileInfo(path).isSymLink();) {
      missing.prepend(path);
      const QString up = QFileInfo(path).path();
      if (up == path) break;
      path = up;
    }
    for (const QString& path : missing) {
      errno = 0;
      if (!QDir().mkdir(path)) {
        error_ = errno;
        return false;
      }
      madeAbove_.prepend(path);
    }
    return true;
  }

  Report readAll(archive* a, const QString& password) {
    archive_entry* entry = nullptr;
    int failuresInARow = 0;
    for (;;) {
      if (progress_.cancel) return undone(Outcome::Cancelled);
      const int rc = archive_read_next_header(a, &entry);
      if (rc == ARCHIVE_EOF) break;
      if (rc < ARCHIVE_WARN) {
        const bool fatal = rc == ARCHIVE_FATAL || ++failuresInARow > 16;
        report_.damaged.append(
            {fatal ? QStringLiteral("(the rest of the archive)") : QStringLiteral("(an entry)"),
             errorOf(a)});
        if (fatal) break;
        continue;
      }
      failuresInARow = 0;
      if (++entries_ > limits_.maxEntries) return stopped(tooManyEntries(shown_));
      progress_.entriesDone = entries_;
      const Step step = take(a, entry, password);
      if (step == Step::EndOfArchive) break;
      if (step == Step::Stop) return report_;
    }
    report_.outcome = Outcome::Unpacked;
    return report_;
  }

  // One entry: refused, a folder, or a file.
  Step take(archive* a, archive_entry* entry, const QString& password) {
    const QString name = entryName(entry);
    const archivenames::SafePath safe = archivenames::safeEntryPath(name);
    const auto type = archive_entry_filetype(entry);
    const bool isLink = type == AE_IFLNK || archive_entry_hardlink(entry);
    auto refuse = [&](const QString& why) {
      report_.refused.append({name.isEmpty() ? QStringLiteral("(no name)") : name, why});
      return Step::Next;
    };
    if (!safe.refusal.isEmpty()) return refuse(safe.refusal);
    if (behindLink(safe.parts)) return refuse(QStringLiteral("its path goes through a link"));
    if (isLink) {
      if (type == AE_IFLNK) links_.insert(safe.parts.join(u'/').toCaseFolded());
      return refuse(QStringLiteral("it is a link, and links are not created"));
    }
    if (type != AE_IFREG && type != AE_IFDIR)
      return refuse(QStringLiteral("it is not a file or a folder"));

    const QString given = names_.place(safe.parts, type == AE_IFDIR);
    noteRenamed(name, given);
    if (type == AE_IFDIR) {
      if (!makeFolders(given)) return fail(writeFailure(given));
      return Step::Next;
    }
    return writeFile(a, entry, name, given, password);
  }

  Step writeFile(archive* a, archive_entry* entry, const QString& name, const QString& given,
                 const QString& password) {
    const qsizetype slash = given.lastIndexOf(u'/');
    if (slash > 0 && !makeFolders(given.left(slash))) return fail(writeFailure(given));
    QFile out;
    if (!openTemporary(out, slash > 0 ? given.left(slash) : QString()))
      return fail(writeFailure(given));

    const la_int64_t packedAtStart = archive_filter_bytes(a, -1);
    qint64 written = 0;
    for (;;) {
      if (progress_.cancel) {
        dropTemporary(out);
        undo(Outcome::Cancelled);
        return Step::Stop;
      }
      const la_ssize_t n = archive_read_data(a, buffer_.data(), buffer_.size());
      if (n == 0) break;
      if (n < 0) {
        dropTemporary(out);
        if (archive_entry_is_encrypted(entry) && written == 0 && n > ARCHIVE_FATAL) {
          undo(password.isEmpty() ? Outcome::NeedsPassword : Outcome::WrongPassword,
               password.isEmpty() ? QStringLiteral("The archive is protected by a password.")
                                  : QStringLiteral("The password is not right."));
          return Step::Stop;
        }
        report_.damaged.append({name, errorOf(a)});
        return n <= ARCHIVE_FATAL ? Step::EndOfArchive : Step::Next;
      }
      written += n;
      total_ += n;
      // The archive's own sizes may lie: the bounds hold for what comes out.
      if (total_ > limits_.maxBytes) {
        dropTemporary(out);
        report_ = stopped(QStringLiteral("Unpacking stopped at \"%1\": the archive unpacks to "
                                         "more than %2, the most Quorvane unpacks from one "
                                         "archive.")
                              .arg(name, sizeText(limits_.maxBytes)));
        return Step::Stop;
      }
      const qint64 packed = std::max<qint64>(0, archive_filter_bytes(a, -1) - packedAtStart);
      if (written > limits_.ratioFloor && written > limits_.maxRatio * packed) {
        dropTemporary(out);
        report_ = stopped(QStringLiteral("Unpacking stopped at \"%1\": it unpacks to more than "
                                         "%2 times its packed size, the most Quorvane allows for "
                                         "one file. The archive may be made to fill the disk.")
                              .arg(name)
                              .arg(limits_.maxRatio));
        return Step::Stop;
      }
      errno = 0;
      if (out.write(buffer_.data(), n) != n) {
        error_ = errno;
        dropTemporary(out);
        return fail(writeFailure(given));
      }
      progress_.bytesDone = total_;
    }
    errno = 0;
    out.close();
    // Renamed only when whole, and never over a file (QFile::rename refuses).
    const QString final = folder_ + u'/' + given;
    if (out.error() != QFileDevice::NoError || !out.rename(final)) {
      error_ = errno;
      dropTemporary(out);
      return fail(writeFailure(given));
    }
    temporary_.clear();
    made_.append(final);
    report_.files.append(given);
    if (archivenames::isArchiveName(given)) report_.leftPacked.append(given);
    return Step::Next;
  }

  bool openTemporary(QFile& out, const QString& relativeFolder) {
    const QString where = relativeFolder.isEmpty() ? folder_ : folder_ + u'/' + relativeFolder;
    // A name no entry is given (entries never start with ".~qv"), tried until free.
    for (int attempt = 0; attempt < 100; ++attempt) {
      out.setFileName(QStringLiteral("%1/.~qv-unpacking-%2").arg(where).arg(serial_++));
      errno = 0;
      if (out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        temporary_ = out.fileName();
        return true;
      }
      error_ = errno;
      if (error_ != EEXIST) return false;
    }
    return false;
  }

  void dropTemporary(QFile& out) {
    out.close();
    if (!temporary_.isEmpty()) QFile::remove(temporary_);
    temporary_.clear();
  }

  bool makeFolders(const QString& relative) {
    QString path;
    for (const QString& part : relative.split(u'/')) {
      path = path.isEmpty() ? part : path + u'/' + part;
      if (folders_.contains(path)) continue;
      errno = 0;
      // mkdir refuses anything already there, a link included: only folders
      // this run made are ever written into.
      if (!QDir(folder_).mkdir(path)) {
        error_ = errno ? errno : EEXIST;
        return false;
      }
      folders_.insert(path);
      made_.append(folder_ + u'/' + path);
    }
    return true;
  }

  bool behindLink(const QStringList& parts) const {
    QString path;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
      path = path.isEmpty() ? parts[i].toCaseFolded() : path + u'/' + parts[i].toCaseFolded();
      if (links_.contains(path)) return true;
    }
    return false;
  }

  // One note for a file whose own name changed, one for each folder moved.
  void noteRenamed(const QString& name, const QString& given) {
    const QString plain = plainPath(name);
    if (plain == given) return;
    const QString plainFolder = plain.section(u'/', 0, -2);
    const QString givenFolder = given.section(u'/', 0, -2);
    if (plain.section(u'/', -1) != given.section(u'/', -1))
      report_.renamed.append({name, given});
    else if (plainFolder != givenFolder && !foldersNoted_.contains(plainFolder)) {
      foldersNoted_.insert(plainFolder);
      report_.renamed.append({plainFolder, givenFolder});
    }
  }

  QString writeFailure(const QString& what) const {
    return QStringLiteral("Could not write \"%1\": %2.")
        .arg(QDir::toNativeSeparators(what), vFile::reasonOf(error_));
  }

  QString tooManyEntries(const QString& what) const {
    return QStringLiteral(
               "\"%1\" holds more than %2 files and folders, the most Quorvane unpacks "
               "from one archive.")
        .arg(what, countText(limits_.maxEntries));
  }

  QString tooBig(const QString& what) const {
    return QStringLiteral(
               "\"%1\" would unpack to more than %2, the most Quorvane unpacks from "
               "one archive.")
        .arg(what, sizeText(limits_.maxBytes));
  }

  Report ended(Outcome outcome, const QString& why = {}) {
    Report r;
    r.outcome = outcome;
    r.why = why;
    return r;
  }

  Report stopped(const QString& why) {
    report_.outcome = Outcome::Stopped;
    report_.why = why;
    return report_;
  }

  Step fail(const QString& why) {
    undo(Outcome::Failed, why);
    return Step::Stop;
  }

  Report undone(Outcome outcome, const QString& why = {}) {
    undo(outcome, why);
    return report_;
  }

  // Takes back everything this run created, newest first.
  void undo(Outcome outcome, const QString& why = {}) {
    if (!temporary_.isEmpty()) QFile::remove(temporary_);
    for (auto it = made_.crbegin(); it != made_.crend(); ++it)
      if (!QFile::remove(*it)) QDir().rmdir(*it);
    for (const QString& path : madeAbove_) QDir().rmdir(path);
    report_ = ended(outcome, why);
  }

  const QString folder_;
  QString shown_;  // the archive's file name
  const Limits limits_;
  Progress& progress_;
  Report report_;
  archivenames::NameTable names_;
  QSet<QString> links_;         // case-folded paths of link entries
  QSet<QString> folders_;       // relative folders this run made
  QSet<QString> foldersNoted_;  // renamed folders already told
  QStringList made_;            // files and folders made, oldest first
  QStringList madeAbove_;       // the folder itself and those above it, deepest first
  QString temporary_;
  std::vector<char> buffer_ = std::vector<char>(256 * 1024);
  qint64 total_ = 0;
  int entries_ = 0;
  int serial_ = 0;
  int error_ = 0;
};

void listInto(QStringList& lines, const QString& heading, const QStringList& items) {
  constexpr qsizetype kShown = 10;
  if (items.isEmpty()) return;
  lines << QString() << heading;
  for (qsizetype i = 0; i < std::min(items.size(), kShown); ++i)
    lines << QStringLiteral("  ") + items[i];
  if (items.size() > kShown)
    lines << QStringLiteral("  ... and %1 more").arg(items.size() - kShown);
}

QStringList notesText(const QList<Note>& notes, const QString& joiner) {
  QStringList items;
  for (const Note& n : notes) items << n.entry + joiner + n.what;
  return items;
}

QString freeSubfolder(const QString& parent, const QString& archive) {
  const QString stem = archivenames::safeComponent(archivenames::archiveStem(archive));
  const QString base = QDir(parent).filePath(stem);
  QString candidate = base;
  for (int n = 2; QFileInfo(candidate).isSymLink() ||
                  (QFileInfo::exists(candidate) &&
                   (!QFileInfo(candidate).isDir() || !isEmptyFolder(candidate)));
       ++n)
    candidate = QStringLiteral("%1 (%2)").arg(base).arg(n);
  return QDir::toNativeSeparators(candidate);
}

}  // namespace

QStringList Report::pages() const { return archivenames::orderPages(files); }

Report unpackArchive(const QString& archive, const QString& folder, const QString& password,
                     Progress& progress, const Limits& limits) {
  const Utf8NamesOnThisThread utf8;
  return Run(folder, limits, progress).go(archive, password);
}

QString summary(const Report& report, const QString& folder) {
  QStringList lines;
  const QString where = QDir::toNativeSeparators(folder);
  const qsizetype n = report.files.size();
  lines << (n == 1 ? QStringLiteral("Unpacked 1 file into %1.").arg(where)
                   : QStringLiteral("Unpacked %1 files into %2.").arg(n).arg(where));
  if (report.outcome == Outcome::Stopped) lines << QString() << report.why;
  if (report.pages().isEmpty())
    lines << QString() << QStringLiteral("It holds no .htm or .html pages.");
  listInto(lines, QStringLiteral("Not unpacked, to keep your files safe:"),
           notesText(report.refused, QStringLiteral(": ")));
  listInto(lines, QStringLiteral("Renamed, as the name was taken or not safe:"),
           notesText(report.renamed, QStringLiteral(" -> ")));
  listInto(lines, QStringLiteral("Left packed (archives inside the archive):"), report.leftPacked);
  listInto(lines, QStringLiteral("Could not be unpacked (the archive is damaged):"),
           notesText(report.damaged, QStringLiteral(": ")));
  return lines.join(u'\n');
}

bool isArchiveFile(const QString& path) {
  return archivenames::isArchiveName(path) && QFileInfo(path).isFile();
}

QString defaultFolder(const QString& home, const QString& archive) {
  return freeSubfolder(QDir(home).filePath(QStringLiteral("Quorvane Pages")), archive);
}

QString folderIn(const QString& picked, const QString& archive) {
  if (QFileInfo(picked).isDir() && isEmptyFolder(picked)) return QDir::toNativeSeparators(picked);
  return freeSubfolder(picked, archive);
}

}  // namespace unpack
