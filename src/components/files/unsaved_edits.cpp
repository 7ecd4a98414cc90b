#include "files/unsaved_edits.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QStandardPaths>
#include <algorithm>

#include "files/checksum.h"
#include "files/paths.h"
#include "files/v_file.h"

namespace unsavededits {

namespace {

QString& rootFolder() {
  static QString folder;
  return folder;
}

constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions kOwnerOnlyFolder = kOwnerOnly | QFile::ExeOwner;

// Each part starts with what it is, so a stray file is never read as one.
constexpr char kBaseMagic[] = "QVEDITBASE1";
constexpr char kMarkupMagic[] = "QVEDITNOW1";
const QString kBaseSuffix = QStringLiteral(".base");
const QString kMarkupSuffix = QStringLiteral(".edit");
// Far above any page the editor takes: a larger part is no part of ours.
constexpr qint64 kMaxPartBytes = 512LL * 1024 * 1024;

QString stemOf(const QString& page) {
  const QByteArray key = paths::identityOf(page).toUtf8();
  return QString::fromLatin1(checksum::sha256(key).toHex().left(32));
}

QString fileOf(const QString& page, const QString& suffix) {
  return rootFolder() + u'/' + stemOf(page) + suffix;
}

Status ensureRoot() {
  const bool fresh = !QFileInfo::exists(rootFolder());
  if (!QDir().mkpath(rootFolder()))
    return Status::failure(QStringLiteral("the folder %1 could not be created")
                               .arg(QDir::toNativeSeparators(rootFolder())));
  // Unsaved pages may be private: the folder made here is the user's alone.
  if (fresh) QFile::setPermissions(rootFolder(), kOwnerOnlyFolder);
  return Status::success();
}

Status write(const QByteArray& bytes, const QString& file) {
  if (rootFolder().isEmpty()) return Status::success();
  if (Status made = ensureRoot(); !made) return made;
  return vFile::WriteWhole(bytes, file, {kOwnerOnly, {}});
}

bool readBase(const QString& file, Base& base) {
  QByteArray bytes;
  if (QFileInfo(file).size() > kMaxPartBytes || !vFile::LoadBytes(bytes, file)) return false;
  QDataStream in(bytes);
  QByteArray magic;
  in >> magic >> base.page >> base.charset >> base.markupBefore >> base.fileBytes;
  return in.status() == QDataStream::Ok && magic == kBaseMagic && !base.page.isEmpty();
}

bool readMarkup(const QString& file, QString& page, QString& markup) {
  QByteArray bytes;
  if (QFileInfo(file).size() > kMaxPartBytes || !vFile::LoadBytes(bytes, file)) return false;
  QDataStream in(bytes);
  QByteArray magic;
  in >> magic >> page >> markup;
  return in.status() == QDataStream::Ok && magic == kMarkupMagic && !markup.isEmpty();
}

}  // namespace

void setRoot(const QString& folder) {
  rootFolder() = folder.isEmpty() ? QString() : QDir::cleanPath(QDir(folder).absolutePath());
}

QString root() { return rootFolder(); }

QString standardRoot() {
  return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
         QStringLiteral("/unsaved");
}

QByteArray encodeBase(const Base& base) {
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out << QByteArray(kBaseMagic) << base.page << base.charset << base.markupBefore << base.fileBytes;
  return bytes;
}

QByteArray encodeMarkup(const QString& page, const QString& markupNow) {
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out << QByteArray(kMarkupMagic) << page << markupNow;
  return bytes;
}

Status keepBase(const Base& base) {
  if (rootFolder().isEmpty()) return Status::success();
  // A document of an earlier edit of the page belongs to other bytes.
  QFile::remove(fileOf(base.page, kMarkupSuffix));
  return write(encodeBase(base), fileOf(base.page, kBaseSuffix));
}

Status keepMarkup(const QString& page, const QString& markupNow) {
  return write(encodeMarkup(page, markupNow), fileOf(page, kMarkupSuffix));
}

void drop(const QString& page) {
  if (rootFolder().isEmpty()) return;
  // The document first: a base alone is never offered.
  QFile::remove(fileOf(page, kMarkupSuffix));
  QFile::remove(fileOf(page, kBaseSuffix));
}

std::vector<Kept> pending() {
  std::vector<Kept> found;
  if (rootFolder().isEmpty()) return found;
  const QDir folder(rootFolder());
  const QFileInfoList edits = folder.entryInfoList({QStringLiteral("*") + kMarkupSuffix},
                                                   QDir::Files | QDir::Hidden, QDir::Time);
  for (const QFileInfo& edit : edits) {
    Kept kept;
    QString page;
    const QString stem = edit.completeBaseName();
    if (!readMarkup(edit.filePath(), page, kept.markupNow)) continue;
    if (!readBase(folder.filePath(stem + kBaseSuffix), kept.base)) continue;
    // Both parts must name the page their file name stands for.
    if (page != kept.base.page || stemOf(page) != stem) continue;
    // Kept just after a save, before anything else was typed: nothing to offer.
    if (kept.markupNow == kept.base.markupBefore) {
      drop(page);
      continue;
    }
    found.push_back(std::move(kept));
  }
  std::reverse(found.begin(), found.end());
  return found;
}

}  // namespace unsavededits
