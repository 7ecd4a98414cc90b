#include "publish/site_store.h"

#include <QCryptographicHash>
#include <QSettings>
#include <QStandardPaths>

namespace {

// Host names, user names and folders hold characters QSettings reads as
// group separators; a digest of the three is a plain key.
QString siteKey(const SiteFields& site) {
  const QByteArray id =
      site.host.toLower().toUtf8() + '\n' + site.user.toUtf8() + '\n' + site.remoteFolder.toUtf8();
  return QStringLiteral("site-") +
         QString::fromLatin1(
             QCryptographicHash::hash(id, QCryptographicHash::Sha256).toHex().left(32));
}

QString hostKey(const QString& host, int port) {
  const QByteArray id = host.toLower().toUtf8() + ':' + QByteArray::number(port);
  return QStringLiteral("hostkeys/") +
         QString::fromLatin1(
             QCryptographicHash::hash(id, QCryptographicHash::Sha256).toHex().left(32));
}

}  // namespace

SiteStore::SiteStore(QString settingsFile)
    : settings_(std::make_unique<QSettings>(settingsFile, QSettings::IniFormat)) {}

SiteStore::~SiteStore() = default;

QString SiteStore::defaultFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Quorvane/publish.ini");
}

QHash<QString, QByteArray> SiteStore::uploaded(const SiteFields& site) const {
  QHash<QString, QByteArray> out;
  const QVariantMap map = settings_->value(siteKey(site) + QStringLiteral("/files")).toMap();
  for (auto it = map.begin(); it != map.end(); ++it) out.insert(it.key(), it.value().toByteArray());
  return out;
}

void SiteStore::rememberUpload(const SiteFields& site, const QString& remotePath,
                               const QByteArray& sha256) {
  const QString key = siteKey(site);
  QVariantMap map = settings_->value(key + QStringLiteral("/files")).toMap();
  map.insert(remotePath, sha256);
  settings_->setValue(key + QStringLiteral("/files"), map);
  // A reader of the file can tell which site a digest stands for.
  settings_->setValue(key + QStringLiteral("/address"), site.user + QLatin1Char('@') + site.host +
                                                            QLatin1Char(':') + site.remoteFolder);
}

QByteArray SiteStore::acceptedHostKey(const QString& host, int port) const {
  return settings_->value(hostKey(host, port)).toByteArray();
}

void SiteStore::acceptHostKey(const QString& host, int port, const QByteArray& key) {
  settings_->setValue(hostKey(host, port), key);
  settings_->sync();
}

QByteArray SiteStore::pinnedCertificate(const SiteFields& site) const {
  return settings_->value(siteKey(site) + QStringLiteral("/certificate")).toByteArray();
}

void SiteStore::pinCertificate(const SiteFields& site, const QByteArray& pin) {
  settings_->setValue(siteKey(site) + QStringLiteral("/certificate"), pin);
  settings_->sync();
}

SiteFields SiteStore::lastSite() const {
  SiteFields s;
  const QString p = settings_->value(QStringLiteral("last/protocol")).toString();
  s.protocol = p == QLatin1String("FTPS")  ? Protocol::Ftps
               : p == QLatin1String("FTP") ? Protocol::Ftp
                                           : Protocol::Sftp;
  s.host = settings_->value(QStringLiteral("last/host")).toString();
  s.port = settings_->value(QStringLiteral("last/port"), defaultPort(s.protocol)).toInt();
  s.user = settings_->value(QStringLiteral("last/user")).toString();
  s.remoteFolder = settings_->value(QStringLiteral("last/folder")).toString();
  return s;
}

void SiteStore::setLastSite(const SiteFields& site) {
  const char* names[] = {"SFTP", "FTPS", "FTP"};
  settings_->setValue(QStringLiteral("last/protocol"),
                      QString::fromLatin1(names[static_cast<int>(site.protocol)]));
  settings_->setValue(QStringLiteral("last/host"), site.host);
  settings_->setValue(QStringLiteral("last/port"), site.port);
  settings_->setValue(QStringLiteral("last/user"), site.user);
  settings_->setValue(QStringLiteral("last/folder"), site.remoteFolder);
}

void SiteStore::sync() { settings_->sync(); }
