#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

// Real servers on 127.0.0.1 for the publishing tests, each started by the
// test and stopped with it. They need root (to create a throwaway account
// and to run sshd); skipReason() says why a test cannot run.
namespace testServers {

// Why servers cannot run here, or empty.
QString skipReason(bool needFtp = false);

// A free port on the loopback interface.
int freePort();

// A throwaway login with a password and a home folder of its own; removed
// when destroyed.
class TestAccount final {
 public:
  TestAccount();
  ~TestAccount();
  bool ok() const { return ok_; }
  QString name;
  QString password = QStringLiteral("pw-Quorvane-7");
  QString home;  // writable by the account

 private:
  QTemporaryDir dir_;
  bool ok_ = false;
};

// OpenSSH's sshd with a host key of our own, password login, internal SFTP.
class SshServer final {
 public:
  explicit SshServer(const TestAccount& account);
  ~SshServer();
  // Starts (or restarts) the server with the host key in keyFile, made if
  // absent; false with error() if it did not come up.
  bool start(const QString& keyFile);
  void stop();
  int port() const { return port_; }
  QString error() const { return error_; }
  QString folder() const { return dir_.path(); }

  // ssh-keygen's own view of a host key: "SHA256:..." and the public line.
  static QString fingerprintOf(const QString& keyFile);
  static QByteArray publicLine(const QString& keyFile);

 private:
  const TestAccount& account_;
  QTemporaryDir dir_;
  QProcess process_;
  int port_ = 0;
  QString error_;
};

// vsftpd with a self-signed certificate, explicit TLS required (FTPS), or
// without TLS for plain FTP.
class FtpServer final {
 public:
  FtpServer(const TestAccount& account, bool tls);
  ~FtpServer();
  bool start();
  int port() const { return port_; }
  QString error() const { return error_; }

 private:
  const TestAccount& account_;
  bool tls_;
  QTemporaryDir dir_;
  QProcess process_;
  int port_ = 0;
  QString error_;
};

}  // namespace testServers
