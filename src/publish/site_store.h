#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <memory>

#include "publish/remote_paths.h"

class QSettings;

// The site fields the window fills in again next time (never the password).
struct SiteFields final {
  Protocol protocol = Protocol::Sftp;
  QString host;
  int port = 22;
  QString user;
  QString remoteFolder;
};

// What Quorvane remembers about the sites it publishes to, in the user's
// configuration folder (never beside the pages): per site (host, user,
// remote folder) the checksum of every file it put there, the host keys and
// certificate keys the user accepted, and the last site used.
class SiteStore final {
 public:
  explicit SiteStore(QString settingsFile = defaultFile());
  ~SiteStore();
  SiteStore(const SiteStore&) = delete;
  SiteStore& operator=(const SiteStore&) = delete;

  static QString defaultFile();

  // remote path -> SHA-256 (hex) of the copy uploaded last.
  QHash<QString, QByteArray> uploaded(const SiteFields& site) const;
  void rememberUpload(const SiteFields& site, const QString& remotePath, const QByteArray& sha256);

  // "<type> <base64>" of the SSH host key accepted for host and port.
  QByteArray acceptedHostKey(const QString& host, int port) const;
  void acceptHostKey(const QString& host, int port, const QByteArray& key);

  // "sha256//<base64>" of the FTPS certificate key accepted for the site.
  QByteArray pinnedCertificate(const SiteFields& site) const;
  void pinCertificate(const SiteFields& site, const QByteArray& pin);

  SiteFields lastSite() const;
  void setLastSite(const SiteFields& site);

  void sync();

 private:
  std::unique_ptr<QSettings> settings_;
};
