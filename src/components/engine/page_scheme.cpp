#include "engine/page_scheme.h"

#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QMutex>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>
#include <QWebEngineUrlScheme>

#include "files/checksum.h"
#include "files/paths.h"

namespace pagescheme {

namespace {

struct Folder final {
  QString path;
  QSet<QString> pages;  // file names urlOf was asked for
};

// Only the program adds folders (through urlOf); a page cannot. The web
// proxy's thread looks them up too.
QHash<QString, Folder>& folders() {
  static QHash<QString, Folder> known;
  return known;
}
QMutex& foldersLock() {
  static QMutex lock;
  return lock;
}

// Unknown outside this run: no other program on the machine can ask the
// proxy for a folder's files.
const QString& fileHostSuffix() {
  static const QString suffix = [] {
    QByteArray secret(12, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(secret.data()),
                                          secret.size() / 4);
    return QStringLiteral("-f") + QString::fromLatin1(secret.toHex()) + QStringLiteral(".invalid");
  }();
  return suffix;
}

// The page host of a file host, or empty.
QString pageHostOfFileHost(const QUrl& url) {
  if (url.scheme() != u"http" || url.port(80) != 80) return {};
  const QString host = url.host();
  if (!host.endsWith(fileHostSuffix())) return {};
  return host.chopped(fileHostSuffix().size());
}

QString relativePathOf(const QUrl& url) {
  QString path = url.path(QUrl::FullyDecoded);
  while (path.startsWith(u'/')) path.remove(0, 1);
  return path;
}

// Pages served from memory, by path.
QHash<QString, QByteArray>& heldBytes() {
  static QHash<QString, QByteArray> held;
  return held;
}

// A copy: another thread may add to the folders meanwhile.
std::optional<Folder> folderOf(const QUrl& url) {
  if (url.scheme() != QLatin1String(kScheme)) return std::nullopt;
  QMutexLocker lock(&foldersLock());
  const auto it = folders().constFind(url.host());
  if (it == folders().constEnd()) return std::nullopt;
  return *it;
}

}  // namespace

void registerScheme() {
  QWebEngineUrlScheme scheme(kScheme);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
  // Not local: the engine's rules for web origins apply, so a page reaches
  // nothing across folders or on file: addresses. Its files come from its
  // folder's file host, which grants its origin fonts and module scripts.
  scheme.setFlags(QWebEngineUrlScheme::CorsEnabled);
  QWebEngineUrlScheme::registerScheme(scheme);
}

QString hostFor(const QString& folder) {
  // A letter first: a host of digits alone would read as an IP address.
  return QLatin1Char('p') + QString::fromLatin1(checksum::sha256(folder.toUtf8()).toHex().left(32));
}

QUrl urlOf(const QString& path) {
  const QFileInfo info(path);
  const QString folder = info.absolutePath();
  const QString host = hostFor(folder);
  {
    QMutexLocker lock(&foldersLock());
    Folder& known = folders()[host];
    known.path = folder;
    known.pages.insert(info.fileName());
  }
  QUrl url;
  url.setScheme(QLatin1String(kScheme));
  url.setHost(host);
  // Decoded: a "%" or "#" in a file name is part of the name.
  url.setPath(QLatin1Char('/') + info.fileName(), QUrl::DecodedMode);
  return url;
}

std::optional<Served> servedFor(const QUrl& url) {
  const std::optional<Folder> folder = folderOf(url);
  if (!folder) return std::nullopt;
  const QString relative = relativePathOf(url);
  if (folder->pages.contains(relative))
    return Served{paths::joinOneSeparator(folder->path, relative, u'/'), folder->path, true};
  const std::optional<QStringList> parts = servableComponents(relative);
  if (!parts || parts->isEmpty()) return std::nullopt;
  return Served{paths::joinOneSeparator(folder->path, parts->join(u'/'), u'/'), folder->path,
                false};
}

QUrl fileUrlOf(const QUrl& pageUrl) {
  QUrl url = pageUrl;
  url.setScheme(QStringLiteral("http"));
  url.setHost(pageUrl.host() + fileHostSuffix());
  url.setFragment(QString());
  return url;
}

bool isFileUrl(const QUrl& url) { return !pageHostOfFileHost(url).isEmpty(); }

std::optional<Served> servedForFile(const QUrl& url) {
  const QString host = pageHostOfFileHost(url);
  if (host.isEmpty()) return std::nullopt;
  QUrl page = url;
  page.setScheme(QLatin1String(kScheme));
  page.setHost(host);
  page.setPort(-1);
  return servedFor(page);
}

QString pageOriginOf(const QUrl& fileUrl) {
  const QString host = pageHostOfFileHost(fileUrl);
  return host.isEmpty() ? QString() : QLatin1String(kScheme) + QStringLiteral("://") + host;
}

QByteArray mimeOf(const QString& path) {
  static const QMimeDatabase types;
  const QMimeType type = types.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
  return type.isDefault() ? QByteArrayLiteral("application/octet-stream") : type.name().toUtf8();
}

void serveBytes(const QString& path, const QByteArray& bytes) { heldBytes().insert(path, bytes); }

void forgetBytes(const QString& path) { heldBytes().remove(path); }

std::optional<QByteArray> bytesFor(const QString& path) {
  const auto it = heldBytes().constFind(path);
  if (it == heldBytes().constEnd()) return std::nullopt;
  return *it;
}

QString pathOf(const QUrl& url) {
  const std::optional<Folder> folder = folderOf(url);
  if (!folder) return {};
  const QString relative = relativePathOf(url);
  return relative.isEmpty() ? QString() : paths::joinOneSeparator(folder->path, relative, u'/');
}

std::optional<QStringList> servableComponents(const QString& relativePath) {
  QStringList parts;
  for (const QString& part : relativePath.split(u'/', Qt::SkipEmptyParts)) {
    if (part.startsWith(u'.')) return std::nullopt;
    parts << part;
  }
  return parts;
}

}  // namespace pagescheme
