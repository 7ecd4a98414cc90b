#include "files/page_history.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <tuple>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

#include "files/checksum.h"
#include "files/history_action.h"
#include "files/history_faults.h"
#include "files/history_limits.h"
#include "files/page_batch_writer.h"
#include "files/page_file.h"
#include "files/paths.h"
#include "files/v_file.h"

namespace history {

namespace {

QString& rootFolder() {
  static QString folder;
  return folder;
}

Limits& limitsInForce() {
  static Limits current;
  return current;
}

Fault& faultHook() {
  static Fault hook;
  return hook;
}

WithoutCopyQuestion& question() {
  static WithoutCopyQuestion hook;
  return hook;
}

QString injected(Step step) { return faultHook() ? faultHook()(step) : QString(); }

const QString kData = QStringLiteral(".bytes");
const QString kIndex = QStringLiteral(".json");
// Leftovers of a write cut short are removed only once surely abandoned: a
// second running copy of the program may be writing them right now.
constexpr qint64 kAbandonedAfterSecs = 3600;
// Copies of a private page stay private, whatever the folders above allow.
constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions kOwnerOnlyFolder = kOwnerOnly | QFile::ExeOwner;

std::filesystem::path fsPath(const QString& path) {
  return std::filesystem::path(path.toStdU16String());
}

// An entry's files: SSSSSSSS-TTTTTTTTTTTTTTTTTTT.bytes (the page's bytes) and
// .json (what they are): S numbers a page's entries, T is when it was kept in
// nanoseconds, which orders entries of all pages and keeps two programs
// writing the same page at once from taking each other's names.
const QRegularExpression& entryName() {
  static const QRegularExpression re(QStringLiteral(R"(^(\d{8})-(\d{19})\.(bytes|json)$)"));
  return re;
}

// The writer's temporary file beside an entry's file, left by a crash.
const QRegularExpression& temporaryName() {
  static const QRegularExpression re(
      QStringLiteral(R"(^\d{8}-\d{19}\.(bytes|json)\.[A-Za-z0-9]{6}$)"));
  return re;
}

qint64 nowNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

QByteArray sha256Hex(const QByteArray& bytes) { return checksum::sha256(bytes).toHex(); }

QString folderOfCanonical(const QString& canonicalPath) {
  return rootFolder() + u'/' + QString::fromLatin1(sha256Hex(canonicalPath.toUtf8()));
}

// Makes the renames in folder survive a power cut (POSIX only; on Windows a
// rename is written through).
void syncFolder(const QString& folder) {
#ifndef Q_OS_WIN
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
#else
  Q_UNUSED(folder);
#endif
}

// Writes bytes as the file name in folder, owner-only: the file is whole
// under its name or not there at all.
Status writeWhole(const QString& folder, const QString& name, const QByteArray& bytes, Step step) {
  return vFile::WriteWhole(bytes, folder + u'/' + name,
                           {kOwnerOnly, [step](vFile::WriteStep at) {
                              return at == vFile::WriteStep::Write ? injected(step) : QString();
                            }});
}

struct Stored final {
  QString stem;
  qint64 sequence = 0;
  qint64 keptAt = 0;  // nanoseconds
};

// The names in a page's folder, its writers' hidden leftovers included: one
// reading serves all that a copy's planning asks of the folder.
QStringList namesIn(const QDir& folder) { return folder.entryList(QDir::Files | QDir::Hidden); }

// The committed entries among a folder's names (those with their index), oldest first.
std::vector<Stored> committed(const QStringList& names) {
  std::vector<Stored> out;
  for (const QString& name : names) {
    if (!name.endsWith(kIndex)) continue;
    const auto match = entryName().match(name);
    if (match.hasMatch())
      out.push_back({name.chopped(kIndex.size()), match.captured(1).toLongLong(),
                     match.captured(2).toLongLong()});
  }
  std::sort(out.begin(), out.end(), [](const Stored& a, const Stored& b) {
    return std::tie(a.sequence, a.stem) < std::tie(b.sequence, b.stem);
  });
  return out;
}

std::vector<Stored> committed(const QDir& folder) { return committed(namesIn(folder)); }

qint64 nextSequence(const QStringList& names) {
  qint64 last = 0;
  for (const QString& name : names) {
    const auto match = entryName().match(name);
    if (match.hasMatch()) last = std::max(last, match.captured(1).toLongLong());
  }
  return last + 1;
}

// The index is removed first: from then on the entry is not offered, whatever
// happens to its bytes.
void drop(const QDir& folder, const QString& stem) {
  QFile::remove(folder.filePath(stem + kIndex));
  QFile::remove(folder.filePath(stem + kData));
}

std::optional<Version> readIndex(const QDir& folder, const Stored& stored,
                                 const QString& canonicalPath) {
  QFile file(folder.filePath(stored.stem + kIndex));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QJsonObject o = QJsonDocument::fromJson(file.read(64 * 1024)).object();
  // Another page's entry (a hash collision, a folder copied by hand) is not this page's.
  if (o.value(QStringLiteral("page")).toString() != canonicalPath) return std::nullopt;
  Version v;
  v.id = stored.stem;
  v.sequence = stored.sequence;
  v.time = QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
  v.action = o.value(QStringLiteral("action")).toString();
  v.size = o.value(QStringLiteral("size")).toInteger(-1);
  v.sha256 = o.value(QStringLiteral("sha256")).toString().toLatin1();
  if (!v.time.isValid() || v.size < 0 || v.sha256.size() != 64) return std::nullopt;
  return v;
}

// Leftovers of writes cut short: temporary files and bytes whose index never came.
void removeAbandoned(const QDir& folder, const QStringList& names) {
  const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-kAbandonedAfterSecs);
  const QSet<QString> present(names.cbegin(), names.cend());
  for (const QString& name : names) {
    // The writer's temporary files: "<name>.XXXXXX" beside the name (and
    // ".<name>.tmp" of older versions).
    const bool temporary = (name.startsWith(u'.') && name.endsWith(QStringLiteral(".tmp"))) ||
                           temporaryName().match(name).hasMatch();
    const bool orphan = name.endsWith(kData) && entryName().match(name).hasMatch() &&
                        !present.contains(name.chopped(kData.size()) + kIndex);
    if (!temporary && !orphan) continue;
    const QFileInfo info(folder.filePath(name));
    // Bytes with a second name may be a page's file linked just now: their
    // age is that of the link (the change time), not of the page's last write.
    const FileStamp stamp = filestamp::of(info.filePath());
    const QDateTime time = stamp.links > 1
                               ? QDateTime::fromMSecsSinceEpoch(stamp.changedNs / 1000000, Qt::UTC)
                               : info.lastModified().toUTC();
    if (time < before) QFile::remove(info.filePath());
  }
}

// Every page keeps its original and its newest versions.
void trimPage(const QDir& folder) {
  const std::vector<Stored> entries = committed(folder);
  const qsizetype keep = 1 + limitsInForce().newestPerPage;
  if (qsizetype(entries.size()) <= keep) return;
  for (std::size_t i = 1; i < entries.size() - std::size_t(limitsInForce().newestPerPage); ++i)
    drop(folder, entries[i].stem);
}

// Past the total, the oldest versions of any page go, never an original and
// never a version just kept (it is what undoes the write under way).
void trimTotal(const QSet<QString>& justKept) {
  struct Candidate {
    QString folder, stem;
    qint64 keptAt;
    qint64 size;
  };
  std::vector<Candidate> candidates;
  qint64 total = 0;
  const QDir root(rootFolder());
  for (const QString& page : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    const QDir folder(root.filePath(page));
    const std::vector<Stored> entries = committed(folder);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const QFileInfo data(folder.filePath(entries[i].stem + kData));
      total += data.size();
      const bool kept = justKept.contains(folder.filePath(entries[i].stem));
      if (i > 0 && !kept)
        candidates.push_back({folder.path(), entries[i].stem, entries[i].keptAt, data.size()});
    }
  }
  if (total <= limitsInForce().totalBytes) return;
  std::sort(candidates.begin(), candidates.end(),
            [](const Candidate& a, const Candidate& b) { return a.keptAt < b.keptAt; });
  for (const Candidate& c : candidates) {
    if (total <= limitsInForce().totalBytes) break;
    drop(QDir(c.folder), c.stem);
    total -= c.size;
  }
}

// Names the entry that keeps oldBytes as the newest version of the page;
// nothing when the newest version holds them already. Folders are made here,
// no entry file is written.
Status plan(const QString& canonicalPath, const QByteArray& sha, qint64 size,
            std::optional<Copy>& copy) {
  const QString path = folderOfCanonical(canonicalPath);
  if (QString why = injected(Step::Folder); !why.isEmpty()) return Status::failure(why);
  // Folders made here are the user's alone; one that was there is left as it is.
  const bool freshRoot = !QFileInfo::exists(rootFolder());
  const bool fresh = !QFileInfo::exists(path);
  if (!QDir().mkpath(path))
    return Status::failure(QStringLiteral("the history folder %1 could not be created")
                               .arg(QDir::toNativeSeparators(path)));
  if (freshRoot) QFile::setPermissions(rootFolder(), kOwnerOnlyFolder);
  if (fresh) QFile::setPermissions(path, kOwnerOnlyFolder);
  const QDir folder(path);
  // A folder made just now holds nothing to read.
  const QStringList names = fresh ? QStringList() : namesIn(folder);
  removeAbandoned(folder, names);

  // The same bytes as the newest version (a write that failed and is tried
  // again, a save of an unchanged page) are kept once.
  const std::vector<Stored> entries = committed(names);
  if (!entries.empty()) {
    const std::optional<Version> newest = readIndex(folder, entries.back(), canonicalPath);
    if (newest && newest->sha256 == sha && newest->size == size) return Status::success();
  }

  Copy planned;
  planned.folder = path;
  planned.versionsBefore = qsizetype(entries.size());
  planned.stem = QStringLiteral("%1-%2")
                     .arg(nextSequence(names), 8, 10, QLatin1Char('0'))
                     .arg(nowNanoseconds(), 19, 10, QLatin1Char('0'));
  QJsonObject index;
  index.insert(QStringLiteral("page"), canonicalPath);
  index.insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
  index.insert(QStringLiteral("action"), currentAction());
  index.insert(QStringLiteral("size"), size);
  index.insert(QStringLiteral("sha256"), QString::fromLatin1(sha));
  planned.dataPath = folder.filePath(planned.stem + kData);
  planned.indexPath = folder.filePath(planned.stem + kIndex);
  planned.index = QJsonDocument(index).toJson();
  copy = std::move(planned);
  return Status::success();
}

// Keeps oldBytes as the newest version of the page.
Status keep(const QString& canonicalPath, const QByteArray& oldBytes, std::optional<Copy>& copy) {
  if (Status s = plan(canonicalPath, sha256Hex(oldBytes), oldBytes.size(), copy); !s || !copy)
    return s;
  // The bytes before their index: a crash leaves no index, or one whose bytes are whole.
  const QString data = QFileInfo(copy->dataPath).fileName();
  if (Status s = writeWhole(copy->folder, data, oldBytes, Step::Data); !s) return s;
  if (Status s =
          writeWhole(copy->folder, QFileInfo(copy->indexPath).fileName(), copy->index, Step::Index);
      !s) {
    QFile::remove(copy->dataPath);
    return s;
  }
  syncFolder(copy->folder);
  return Status::success();
}

// Keeps the page's file itself as the planned copy: a second name for it in
// the history, then the index. Nothing when a link cannot be made there
// (another file system, no right to link): the bytes are copied instead.
std::optional<Status> link(const QString& page, const FileStamp& stamp, const Copy& copy) {
#ifndef Q_OS_WIN
  if (QString why = injected(Step::Data); !why.isEmpty()) return Status::failure(why);
  if (::link(QFile::encodeName(page).constData(), QFile::encodeName(copy.dataPath).constData()))
    return std::nullopt;
  // The page may have been replaced between its stamp and the link.
  const FileStamp linked = filestamp::of(copy.dataPath);
  if (linked.device != stamp.device || linked.inode != stamp.inode || linked.size != stamp.size ||
      linked.modifiedNs != stamp.modifiedNs) {
    QFile::remove(copy.dataPath);
    return std::nullopt;
  }
  if (Status s =
          writeWhole(copy.folder, QFileInfo(copy.indexPath).fileName(), copy.index, Step::Index);
      !s) {
    QFile::remove(copy.dataPath);
    return s;
  }
  syncFolder(copy.folder);
  return Status::success();
#else
  Q_UNUSED(page);
  Q_UNUSED(stamp);
  Q_UNUSED(copy);
  return std::nullopt;
#endif
}

// Whether the bytes file of a version still holds what its index says. The
// answer is remembered per file state, so a long history is read once per
// run; a file changed within the last seconds may look unchanged by its
// time stamp alone, so it is read again.
bool whole(const QString& dataPath, const Version& v) {
  static QHash<QString, bool> known;
  const QFileInfo info(dataPath);
  if (!info.isFile() || info.size() != v.size) return false;
  std::error_code error;
  const auto modified = std::filesystem::last_write_time(fsPath(dataPath), error);
  const auto age = std::filesystem::file_time_type::clock::now() - modified;
  const bool settled = !error && age > std::chrono::seconds(2);
  const QString key = dataPath + u'|' + QString::number(info.size()) + u'|' +
                      QString::number(modified.time_since_epoch().count()) + u'|' +
                      QString::fromLatin1(v.sha256);
  if (settled)
    if (const auto it = known.constFind(key); it != known.constEnd()) return *it;
  QFile file(dataPath);
  bool ok = false;
  if (file.open(QIODevice::ReadOnly)) {
    checksum::Sha256 hash;
    ok = hash.addData(&file) && hash.result().toHex() == v.sha256;
  }
  if (settled) known.insert(key, ok);
  return ok;
}

}  // namespace

const Limits& limits() { return limitsInForce(); }
void setLimits(const Limits& limits) { limitsInForce() = limits; }
void setFault(Fault hook) { faultHook() = std::move(hook); }
void setWithoutCopyQuestion(WithoutCopyQuestion hook) { question() = std::move(hook); }

void setRoot(const QString& folder) {
  rootFolder() = folder.isEmpty() ? QString() : QDir::cleanPath(QDir(folder).absolutePath());
}

QString root() { return rootFolder(); }

QString standardRoot() {
  return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
         QStringLiteral("/history");
}

QString folderOf(const QString& page) { return folderOfCanonical(paths::identityOf(page)); }

Status planCopy(const QString& path, const QByteArray& oldBytes, const QByteArray& newBytes,
                std::optional<Copy>& copy, const QByteArray& oldSha) {
  copy.reset();
  if (rootFolder().isEmpty() || !recording() || oldBytes == newBytes) return Status::success();
  return plan(paths::identityOf(path), oldSha.isEmpty() ? sha256Hex(oldBytes) : oldSha,
              oldBytes.size(), copy);
}

Status withoutCopy(const QString& path, const QString& why) {
  if (!question())
    return Status::failure(QStringLiteral("no history copy could be kept: %1").arg(why));
  if (question()(path, why)) return Status::success();
  return Status::failure(QStringLiteral("it was not saved without a history copy"));
}

void trimAfter(const std::vector<Copy>& kept) {
  if (kept.empty()) return;
  // Trimming is housekeeping: a file that cannot be removed now is removed next time.
  QSet<QString> stems;
  for (const Copy& copy : kept) {
    // A page's folder is read again only when it may hold too many.
    if (copy.versionsBefore > limitsInForce().newestPerPage) trimPage(QDir(copy.folder));
    stems.insert(QDir(copy.folder).filePath(copy.stem));
  }
  trimTotal(stems);
}

QString injectedFault(Step step) { return injected(step); }

namespace {

// Keeps a copy of the page's bytes before they become newBytes (null: other bytes).
Status copyBefore(const QString& path, const QByteArray* newBytes) {
  if (rootFolder().isEmpty() || !recording()) return Status::success();
  const QFileInfo info(path);
  // A new file replaces nothing; a pipe or device holds nothing to keep.
  if (!info.exists() || !info.isFile()) return Status::success();

  QByteArray oldBytes;
  Status kept = vFile::LoadBytes(oldBytes, path);
  if (kept) {
    if (newBytes && oldBytes == *newBytes) return Status::success();
    std::optional<Copy> copy;
    kept = keep(paths::identityOf(path), oldBytes, copy);
    if (kept && copy) trimAfter({*copy});
  } else {
    kept = Status::failure(QStringLiteral("the page could not be read (%1)").arg(kept.why()));
  }
  if (kept) return kept;
  return withoutCopy(path, kept.why());
}

}  // namespace

Status recordBeforeWrite(const QString& path, const QByteArray& newBytes) {
  return copyBefore(path, &newBytes);
}

Status recordBeforeReplace(const QString& path, const QByteArray* newBytes, const KnownBytes* known,
                           std::optional<Linked>& linked) {
  linked.reset();
  if (rootFolder().isEmpty() || !recording()) return Status::success();
  const FileStamp stamp = filestamp::of(path);
  // A file another name shares could change through that name, and the copy
  // with it; one of another owner's is not ours to keep.
  if (!stamp.valid() || stamp.links != 1 || !stamp.ownedByUs) return copyBefore(path, newBytes);
  QByteArray sha;
  if (known && known->standsFor(stamp) && (!newBytes || stamp.size != newBytes->size())) {
    sha = known->sha256;
  } else {
    QByteArray oldBytes;
    if (Status read = vFile::LoadBytes(oldBytes, path); !read)
      return withoutCopy(path, QStringLiteral("the page could not be read (%1)").arg(read.why()));
    if (newBytes && oldBytes == *newBytes) return Status::success();
    // What was read is what the file holds only while its stamp stays.
    if (!filestamp::of(path).sameAs(stamp)) return copyBefore(path, newBytes);
    sha = known && known->standsFor(stamp) ? known->sha256 : sha256Hex(oldBytes);
  }
  const QString canonicalPath = paths::identityOf(path);
  std::optional<Copy> copy;
  Status kept = plan(canonicalPath, sha, stamp.size, copy);
  if (kept && copy) {
    const std::optional<Status> made = link(path, stamp, *copy);
    if (!made) return copyBefore(path, newBytes);
    kept = *made;
    if (kept) {
      linked = Linked{path, stamp, copy->folder, copy->stem};
      trimAfter({*copy});
    }
  }
  if (kept) return kept;
  return withoutCopy(path, kept.why());
}

void settleLink(const std::optional<Linked>& linked, bool written) {
  if (!linked) return;
  const FileStamp page = filestamp::of(linked->target);
  const bool stillThePage =
      page.device == linked->stamp.device && page.inode == linked->stamp.inode;
  const QDir folder(linked->folder);
  if (stillThePage) {
    // The page was not replaced: it keeps its bytes under its own name, and
    // a copy that is the page itself keeps nothing.
    if (!written) {
      drop(folder, linked->stem);
      syncFolder(linked->folder);
    }
    return;
  }
  // The history's alone now, as private as a copy it writes.
  QFile::setPermissions(folder.filePath(linked->stem + kData), kOwnerOnly);
}

std::vector<Version> versions(const QString& page) {
  std::vector<Version> out;
  if (rootFolder().isEmpty()) return out;
  const QString canonicalPath = paths::identityOf(page);
  const QDir folder(folderOfCanonical(canonicalPath));
  const std::vector<Stored> entries = committed(folder);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::optional<Version> v = readIndex(folder, entries[i], canonicalPath);
    if (!v || !whole(folder.filePath(v->id + kData), *v)) continue;
    v->original = i == 0;
    out.push_back(std::move(*v));
  }
  std::reverse(out.begin(), out.end());
  return out;
}

Status readVersion(const QString& page, const Version& version, QByteArray& bytes) {
  QByteArray read;
  const QString dataPath = folderOf(page) + u'/' + version.id + kData;
  if (Status s = vFile::LoadBytes(read, dataPath); !s) return s;
  if (read.size() != version.size || sha256Hex(read) != version.sha256)
    return Status::failure(QStringLiteral("the copy kept in the history is damaged"));
  bytes = std::move(read);
  return Status::success();
}

Status restore(const QString& page, const Version& version) {
  QByteArray bytes;
  if (Status s = readVersion(page, version, bytes); !s) return s;
  const Action restoring(QStringLiteral("Restore"));
  return pagefile::save(bytes, page);
}

std::vector<Status> restore(const std::vector<PageVersion>& versions) {
  std::vector<Status> out(versions.size(), Status::success());
  std::vector<pagebatchwriter::Change> changes;
  std::vector<std::size_t> changed;
  for (std::size_t i = 0; i < versions.size(); ++i) {
    QByteArray bytes;
    if (Status s = readVersion(versions[i].page, versions[i].version, bytes); !s) {
      out[i] = s;
      continue;
    }
    changes.push_back({versions[i].page, std::move(bytes), std::nullopt});
    changed.push_back(i);
  }
  const Action restoring(QStringLiteral("Restore"));
  const std::vector<pagebatchwriter::Outcome> written = pagebatchwriter::write(std::move(changes));
  for (std::size_t k = 0; k < written.size(); ++k)
    if (!written[k].written()) out[changed[k]] = Status::failure(written[k].why);
  return out;
}

}  // namespace history
