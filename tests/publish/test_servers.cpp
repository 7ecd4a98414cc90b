#include "test_servers.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace testServers {

namespace {

bool run(const QString& program, const QStringList& args, const QByteArray& input = {},
         QString* output = nullptr) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(program, args);
  if (!p.waitForStarted()) return false;
  if (!input.isEmpty()) p.write(input);
  p.closeWriteChannel();
  p.waitForFinished(60000);
  if (output) *output = QString::fromLocal8Bit(p.readAll());
  return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Waits until something accepts connections on the port (the server forked
// and listens), or the process ended.
bool waitForPort(int port, QProcess& process) {
  const QDeadlineTimer deadline(20000);
  while (!deadline.hasExpired()) {
    if (process.state() == QProcess::NotRunning) return false;
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    if (s.waitForConnected(500)) return true;
    process.waitForReadyRead(100);
  }
  return false;
}

void stopProcess(QProcess& p) {
  if (p.state() == QProcess::NotRunning) return;
  p.terminate();
  if (!p.waitForFinished(10000)) {
    p.kill();
    p.waitForFinished(5000);
  }
}

}  // namespace

QString skipReason(bool needFtp) {
  if (geteuid() != 0) return QStringLiteral("the server tests need root to create a test account");
  if (!QFileInfo::exists(QStringLiteral("/usr/sbin/sshd")))
    return QStringLiteral("sshd is missing (scripts/setup.sh installs openssh-server)");
  if (needFtp && !QFileInfo::exists(QStringLiteral("/usr/sbin/vsftpd")))
    return QStringLiteral("vsftpd is missing (scripts/setup.sh installs it)");
  return {};
}

int freePort() {
  QTcpServer s;
  s.listen(QHostAddress::LocalHost, 0);
  return s.serverPort();
}

TestAccount::TestAccount() {
  name = QStringLiteral("qvpub%1").arg(QCoreApplication::applicationPid() % 100000);
  QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                         QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                         QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                         QFileDevice::ExeGroup);
  home = dir_.path() + QStringLiteral("/home");
  run(QStringLiteral("userdel"), {name});
  ok_ = run(QStringLiteral("useradd"), {"-M", "-d", home, "-s", "/bin/sh", name}) &&
        run(QStringLiteral("chpasswd"), {}, (name + ':' + password + '\n').toUtf8()) &&
        run(QStringLiteral("mkdir"), {"-p", home}) &&
        run(QStringLiteral("chown"), {name + ':' + name, home});
}

TestAccount::~TestAccount() {
  // Files the account made are removed with the folder; the account goes.
  run(QStringLiteral("userdel"), {name});
  run(QStringLiteral("rm"), {"-rf", dir_.path()});
}

SshServer::SshServer(const TestAccount& account) : account_(account) {}

SshServer::~SshServer() { stop(); }

bool SshServer::start(const QString& keyFile) {
  stop();
  if (!QFileInfo::exists(keyFile) &&
      !run(QStringLiteral("ssh-keygen"), {"-q", "-t", "ed25519", "-N", "", "-f", keyFile})) {
    error_ = QStringLiteral("ssh-keygen failed");
    return false;
  }
  QDir().mkpath(QStringLiteral("/run/sshd"));
  port_ = freePort();
  const QString config = dir_.path() + QStringLiteral("/sshd_config");
  QFile f(config);
  f.open(QIODevice::WriteOnly);
  f.write(QStringLiteral("Port %1\nListenAddress 127.0.0.1\nHostKey %2\nPidFile %3/sshd.pid\n"
                         "UsePAM no\nPasswordAuthentication yes\nKbdInteractiveAuthentication no\n"
                         "PubkeyAuthentication no\nSubsystem sftp internal-sftp\nAllowUsers %4\n"
                         "MaxStartups 100\nMaxSessions 100\n")
              .arg(port_)
              .arg(keyFile, dir_.path(), account_.name)
              .toUtf8());
  f.close();
  process_.setProcessChannelMode(QProcess::MergedChannels);
  process_.start(QStringLiteral("/usr/sbin/sshd"), {"-D", "-e", "-f", config});
  if (!waitForPort(port_, process_)) {
    error_ = QStringLiteral("sshd did not start: ") + QString::fromLocal8Bit(process_.readAll());
    stopProcess(process_);
    return false;
  }
  return true;
}

void SshServer::stop() { stopProcess(process_); }

QString SshServer::fingerprintOf(const QString& keyFile) {
  QString out;
  run(QStringLiteral("ssh-keygen"), {"-l", "-E", "sha256", "-f", keyFile + ".pub"}, {}, &out);
  return out.section(QLatin1Char(' '), 1, 1);
}

QByteArray SshServer::publicLine(const QString& keyFile) {
  QFile f(keyFile + ".pub");
  f.open(QIODevice::ReadOnly);
  return f.readAll().trimmed().split(' ').mid(0, 2).join(' ');
}

FtpServer::FtpServer(const TestAccount& account, bool tls) : account_(account), tls_(tls) {}

FtpServer::~FtpServer() { stopProcess(process_); }

bool FtpServer::start() {
  const QString d = dir_.path();
  if (tls_ && !run(QStringLiteral("openssl"),
                   {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                    "/CN=localhost", "-keyout", d + "/key.pem", "-out", d + "/cert.pem"})) {
    error_ = QStringLiteral("openssl could not make a certificate");
    return false;
  }
  QDir().mkpath(QStringLiteral("/var/run/vsftpd/empty"));
  port_ = freePort();
  const int pasv = freePort();
  QString conf = QStringLiteral(
                     "listen=YES\nlisten_address=127.0.0.1\nlisten_port=%1\nbackground=NO\n"
                     "anonymous_enable=NO\nlocal_enable=YES\nwrite_enable=YES\nlocal_umask=022\n"
                     "userlist_enable=NO\npam_service_name=vsftpd\nseccomp_sandbox=NO\n"
                     "isolate=NO\nisolate_network=NO\nutf8_filesystem=YES\n"
                     "pasv_enable=YES\npasv_min_port=%2\npasv_max_port=%2\n"
                     "xferlog_enable=NO\nvsftpd_log_file=%3/vsftpd.log\n")
                     .arg(port_)
                     .arg(pasv)
                     .arg(d);
  if (tls_)
    conf += QStringLiteral(
                "ssl_enable=YES\nrsa_cert_file=%1/cert.pem\nrsa_private_key_file=%1/key.pem\n"
                "force_local_logins_ssl=YES\nforce_local_data_ssl=YES\nrequire_ssl_reuse=NO\n"
                "ssl_tlsv1=YES\nssl_sslv2=NO\nssl_sslv3=NO\n")
                .arg(d);
  QFile f(d + QStringLiteral("/vsftpd.conf"));
  f.open(QIODevice::WriteOnly);
  f.write(conf.toUtf8());
  f.close();
  process_.setProcessChannelMode(QProcess::MergedChannels);
  process_.start(QStringLiteral("/usr/sbin/vsftpd"), {f.fileName()});
  if (!waitForPort(port_, process_)) {
    error_ = QStringLiteral("vsftpd did not start: ") + QString::fromLocal8Bit(process_.readAll());
    return false;
  }
  return true;
}

}  // namespace testServers
