#include "publish/remote_paths.h"

#include <QStringList>
#include <QUrl>

int defaultPort(Protocol protocol) { return protocol == Protocol::Sftp ? 22 : 21; }

namespace remotePaths {

QString normalFolder(const QString& typed) {
  QString f = typed.trimmed();
  f.replace(QLatin1Char('\\'), QLatin1Char('/'));
  const bool absolute = f.startsWith(QLatin1Char('/'));
  QStringList parts = f.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  if (!absolute && !parts.isEmpty() && parts.first() == QLatin1String("~")) parts.removeFirst();
  parts.removeAll(QStringLiteral("."));
  const QString joined = parts.join(QLatin1Char('/'));
  return absolute ? QLatin1Char('/') + joined : joined;
}

QString partName(const QString& fileName) { return QLatin1Char('.') + fileName + ".qvpart"; }

QString asideName(const QString& fileName) { return QLatin1Char('.') + fileName + ".qvold"; }

namespace {

QString folderOf(const QString& remotePath) {
  const int slash = remotePath.lastIndexOf(QLatin1Char('/'));
  return slash < 0 ? QString() : remotePath.left(slash);
}

QByteArray encodedPath(const QString& path) {
  QByteArray out;
  for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts))
    out += '/' + QUrl::toPercentEncoding(part);
  return out;
}

}  // namespace

QByteArray url(Protocol protocol, const QString& host, int port, const QString& folder,
               const QString& remotePath, const QString& name) {
  const char* scheme = protocol == Protocol::Sftp ? "sftp://" : "ftp://";
  // An IPv6 address needs brackets in an address.
  const QByteArray h = host.contains(QLatin1Char(':')) ? '[' + host.toUtf8() + ']' : host.toUtf8();
  QByteArray u = scheme + h + ':' + QByteArray::number(port);
  const bool absolute = folder.startsWith(QLatin1Char('/'));
  if (protocol == Protocol::Sftp) {
    // SFTP addresses are absolute; "/~" is the login folder.
    if (!absolute) u += "/~";
  } else if (absolute) {
    // FTP addresses are relative to the login folder; "%2F" is the root.
    u += "/%2F";
  }
  u += encodedPath(folder);
  u += encodedPath(folderOf(remotePath));
  u += '/';
  if (!name.isEmpty()) u += QUrl::toPercentEncoding(name);
  return u;
}

QString commandPath(const QString& folder, const QString& remotePath, const QString& name) {
  QStringList parts;
  if (!folder.isEmpty()) parts << (folder == QLatin1String("/") ? QString() : folder);
  const QString sub = folderOf(remotePath);
  if (!sub.isEmpty()) parts << sub;
  parts << name;
  QString path = parts.join(QLatin1Char('/'));
  return path;
}

QByteArray sftpArgument(const QString& path) {
  QByteArray out = "\"";
  for (const char c : path.toUtf8()) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + '"';
}

bool safeName(const QString& path) {
  for (const QChar c : path)
    if (c.unicode() < 0x20 || c.unicode() == 0x7f) return false;
  return true;
}

}  // namespace remotePaths
