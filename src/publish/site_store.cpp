#include "publish/site_store.h"

#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include "files/checksum.h"

namespace {

// Host names, user names and folders hold characters QSettings reads as
// group separators; a digest of the three is a plain key.
QString siteKey(const SiteFields& site) {
  const QByteArray id =
      site.host.toLower().toUtf8() + '\n' + site.user.toUtf8() + '\n' + site.remoteFolder.toUtf8();
  return QStringLiteral("site-") + QString::fromLatin1(checksum::sha256(id).toHex().left(32));
}

QString hostKey(const QString& host, int port) {
  const QByteArray id = host.toLower().toUtf8() + ':' + QByteArray::number(port);
  return QStringLiteral("hostkeys/") + QString::fromLatin1(checksum::sha256(id).toHex().left(32));
}

}  // namespace

SiteStore::SiteStore(QString settingsFile)
    : settings_(std::make_unique<QSettings>(settingsFile, QSettings::IniFormat)) {}

SiteStore::~SiteStore() = default;

QString SiteStore::defaultFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Quorvane/publish.ini");
}

// One key per file (a publish of a thousand files writes a thousand small
// values, not a thousand growing lists). Paths are percent-encoded so that
// '/' does not open a group and every key is plain ASCII.
QHash<QString, QByteArray> SiteStore::uploaded(const SiteFields& site) const {
  QHash<QString, QByteArray> out;
  settings_->beginGroup(siteKey(site) + QStringLiteral("/files"));
  for (const QString& key : settings_->childKeys())
    out.insert(QUrl::fromPercentEncoding(key.toLatin1()), settings_->value(key).toByteArray());
  settings_->endGroup();
  return out;
}

void SiteStore::rememberUpload(const SiteFields& site, const QString& remotePath,
                               const QByteArray& sha256) {
  const QString key = siteKey(site);
  settings_->setValue(
      key + QStringLiteral("/files/") + QString::fromLatin1(QUrl::toPercentEncoding(remotePath)),
      sha256);
  // A reader of the file can tell which site the digests stand for.
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
