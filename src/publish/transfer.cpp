#include "publish/transfer.h"

#include <curl/curl.h>

#include <QFile>
#include <QRegularExpression>
#include <mutex>

#include "files/checksum.h"
#include "files/v_file.h"

// Everything one connection needs between libcurl's callbacks and the
// transfer: the handle, its error text, the host-key verdict and the source
// of the file being sent.
struct TransferHandle final {
  CURL* curl = nullptr;
  char error[CURL_ERROR_SIZE] = {};
  std::vector<curl_slist*> lists;

  enum class Key { Unchecked, Known, Unknown, Changed } key = Key::Unchecked;
  QByteArray presentedKey;
  QByteArray acceptedKey;

  QFile file;
  QByteArray bytes;
  qint64 offset = 0;
  bool fromMemory = false;
  checksum::Sha256 sent;  // of what libcurl took

  const std::atomic_bool* cancel = nullptr;
  std::function<void(qint64)> progress;

  bool captureDebug = false;
  QByteArray debugText;

  curl_slist* list(const QList<QByteArray>& lines) {
    curl_slist* l = nullptr;
    for (const QByteArray& line : lines) l = curl_slist_append(l, line.constData());
    lists.push_back(l);
    return l;
  }
  ~TransferHandle() {
    if (curl) curl_easy_cleanup(curl);
    for (curl_slist* l : lists) curl_slist_free_all(l);
  }
};

namespace {

const char* keyTypeName(int type) {
  switch (type) {
    case CURLKHTYPE_RSA1:
    case CURLKHTYPE_RSA:
      return "ssh-rsa";
    case CURLKHTYPE_DSS:
      return "ssh-dss";
    case CURLKHTYPE_ECDSA:
      return "ecdsa";
    case CURLKHTYPE_ED25519:
      return "ssh-ed25519";
    default:
      return "unknown";
  }
}

// Both lists are consulted: OpenSSH's (libcurl's verdict, match) and the
// keys the user accepted here. A key OpenSSH's list holds is let in (the
// user keeps that list, and fixes it when a host really changes its key);
// one it holds differently is refused as changed; otherwise the key must be
// the one accepted here, and a different one is refused as changed too.
int onHostKey(CURL*, const curl_khkey*, const curl_khkey* found, curl_khmatch match, void* data) {
  auto* h = static_cast<TransferHandle*>(data);
  const QByteArray blob = found->len ? QByteArray(found->key, qsizetype(found->len))
                                     : QByteArray::fromBase64(QByteArray(found->key));
  h->presentedKey = QByteArray(keyTypeName(found->keytype)) + ' ' + blob.toBase64();
  if (match == CURLKHMATCH_OK ||
      (match == CURLKHMATCH_MISSING && h->acceptedKey == h->presentedKey)) {
    h->key = TransferHandle::Key::Known;
    return CURLKHSTAT_FINE;
  }
  h->key = match == CURLKHMATCH_MISMATCH || !h->acceptedKey.isEmpty()
               ? TransferHandle::Key::Changed
               : TransferHandle::Key::Unknown;
  return CURLKHSTAT_REJECT;
}

size_t onRead(char* buffer, size_t size, size_t count, void* data) {
  auto* h = static_cast<TransferHandle*>(data);
  const qint64 want = qint64(size * count);
  if (h->fromMemory) {
    const qint64 n = std::min(want, qint64(h->bytes.size()) - h->offset);
    memcpy(buffer, h->bytes.constData() + h->offset, size_t(n));
    h->offset += n;
    h->sent.addData(QByteArrayView(buffer, n));
    return size_t(n);
  }
  const qint64 n = h->file.read(buffer, want);
  if (n > 0) h->sent.addData(QByteArrayView(buffer, n));
  return n < 0 ? CURL_READFUNC_ABORT : size_t(n);
}

int onProgress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t sent) {
  auto* h = static_cast<TransferHandle*>(data);
  if (h->cancel && h->cancel->load()) return 1;
  if (h->progress) h->progress(qint64(sent));
  return 0;
}

int onDebug(CURL*, curl_infotype type, char* text, size_t size, void* data) {
  auto* h = static_cast<TransferHandle*>(data);
  if (h->captureDebug && type == CURLINFO_TEXT) h->debugText.append(text, qsizetype(size));
  return 0;
}

QString fileNameOf(const QString& remotePath) { return remotePath.section(QLatin1Char('/'), -1); }

}  // namespace

void Transfer::initialise() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

QString Transfer::hostKeyFingerprint(const QByteArray& keyBlob) {
  QByteArray b64 = checksum::sha256(keyBlob).toBase64();
  while (b64.endsWith('=')) b64.chop(1);
  return QStringLiteral("SHA256:") + QString::fromLatin1(b64);
}

Transfer::Transfer(Site site, Trust trust)
    : site_(std::move(site)), trust_(std::move(trust)), h_(std::make_unique<TransferHandle>()) {
  initialise();
  h_->curl = curl_easy_init();
  h_->acceptedKey = trust_.acceptedHostKey;
  applyCommon();
}

Transfer::~Transfer() = default;

void Transfer::applyCommon() {
  CURL* c = h_->curl;
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, h_->error);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_USERNAME, site_.user.toUtf8().constData());
  curl_easy_setopt(c, CURLOPT_PASSWORD, site_.password.toUtf8().constData());
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 20L);
  // A server that stops answering mid-file is given up on, not waited for.
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 30L);
  curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, 30L);
  // libssh2 keeps as many SFTP writes in flight as one buffer holds: a
  // large one fills the pipe (100 MB over loopback: 1.9 s instead of 3 s).
  curl_easy_setopt(c, CURLOPT_UPLOAD_BUFFERSIZE, 1024L * 1024L);
  curl_easy_setopt(c, CURLOPT_FTP_CREATE_MISSING_DIRS, long(CURLFTP_CREATE_DIR_RETRY));
  curl_easy_setopt(c, CURLOPT_READFUNCTION, onRead);
  curl_easy_setopt(c, CURLOPT_READDATA, h_.get());
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, h_.get());
  curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, onDebug);
  curl_easy_setopt(c, CURLOPT_DEBUGDATA, h_.get());
  // Only the protocols this window offers, also after a redirect.
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "sftp,ftp");
  if (site_.protocol == Protocol::Sftp) {
    curl_easy_setopt(c, CURLOPT_SSH_AUTH_TYPES,
                     long(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
    // libcurl consults the key function only when a known-hosts file is set;
    // a missing file counts as an empty one.
    const QByteArray known =
        trust_.knownHostsFile.isEmpty() ? QByteArray("/dev/null") : trust_.knownHostsFile.toUtf8();
    curl_easy_setopt(c, CURLOPT_SSH_KNOWNHOSTS, known.constData());
    curl_easy_setopt(c, CURLOPT_SSH_KEYFUNCTION, onHostKey);
    curl_easy_setopt(c, CURLOPT_SSH_KEYDATA, h_.get());
  } else if (site_.protocol == Protocol::Ftps) {
    curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
  }
}

Outcome Transfer::perform(const std::atomic_bool* cancel) {
  h_->error[0] = 0;
  h_->cancel = cancel;
  curl_easy_setopt(h_->curl, CURLOPT_NOPROGRESS, cancel || h_->progress ? 0L : 1L);
  const CURLcode code = curl_easy_perform(h_->curl);
  const QString detail = QString::fromUtf8(h_->error).trimmed();
  auto fail = [&](Failure f, const QString& why) {
    Outcome o;
    o.failure = f;
    o.why = why;
    if (f == Failure::Other || f == Failure::ConnectionLost || f == Failure::AccessDenied)
      if (!detail.isEmpty()) o.why += QStringLiteral(" (") + detail + QLatin1Char(')');
    return o;
  };
  switch (code) {
    case CURLE_OK:
      return {};
    case CURLE_ABORTED_BY_CALLBACK:
      return fail(Failure::Cancelled, QStringLiteral("cancelled"));
    case CURLE_LOGIN_DENIED:
      return fail(Failure::LoginRefused,
                  QStringLiteral("login refused: check the user name and password"));
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
      if (site_.protocol == Protocol::Ftps) return fail(Failure::CertificateUntrusted, detail);
      if (h_->key == TransferHandle::Key::Changed) {
        Outcome o = fail(Failure::HostKeyChanged,
                         QStringLiteral("host key changed: the server does not present the key it "
                                        "had before. Someone may be posing as your server; "
                                        "nothing was sent"));
        o.fingerprint =
            hostKeyFingerprint(QByteArray::fromBase64(h_->presentedKey.split(' ').value(1)));
        return o;
      }
      if (h_->key == TransferHandle::Key::Unknown) {
        Outcome o = fail(Failure::HostKeyUnknown, QStringLiteral("unknown host key"));
        o.presentedKey = h_->presentedKey;
        o.fingerprint =
            hostKeyFingerprint(QByteArray::fromBase64(h_->presentedKey.split(' ').value(1)));
        return o;
      }
      return fail(Failure::Other, QStringLiteral("the server's identity could not be checked"));
    case CURLE_REMOTE_DISK_FULL:
      return fail(Failure::NoSpace, QStringLiteral("no space on the server"));
    case CURLE_OPERATION_TIMEDOUT:
      return fail(Failure::TimedOut, QStringLiteral("connection timed out"));
    case CURLE_COULDNT_CONNECT:
      return fail(Failure::ConnectionRefused,
                  QStringLiteral("the server refused the connection: check the host and port"));
    case CURLE_COULDNT_RESOLVE_HOST:
      return fail(Failure::HostNotFound, QStringLiteral("host not found"));
    case CURLE_USE_SSL_FAILED:
      return fail(Failure::NoEncryption,
                  QStringLiteral("the server does not offer FTPS encryption"));
    case CURLE_READ_ERROR:
      return fail(Failure::LocalFile, QStringLiteral("a local file could not be read"));
    case CURLE_UPLOAD_FAILED:
      // FTP's 452 and 552 replies are "storage exhausted".
      if (detail.contains(QRegularExpression(QStringLiteral("\\b[45]52\\b"))))
        return fail(Failure::NoSpace, QStringLiteral("no space on the server"));
      return fail(Failure::AccessDenied, QStringLiteral("the server refused the file"));
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_QUOTE_ERROR:
      return fail(Failure::AccessDenied,
                  QStringLiteral("the server refused to write in the remote folder"));
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_SSH:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_WEIRD_SERVER_REPLY:
      return fail(Failure::ConnectionLost, QStringLiteral("the connection was lost"));
    default:
      return fail(Failure::Other, QString::fromUtf8(curl_easy_strerror(code)));
  }
}

// Logs in without sending a file, so the server's identity is settled once
// before any file goes. An FTPS certificate that does not verify is let in
// by a key the user pinned earlier (the handle keeps the pin for the files
// that follow); otherwise a second handshake, stopped by a pin that cannot
// match before any password is sent, tells the key's fingerprint.
Outcome Transfer::logIn() {
  CURL* c = h_->curl;
  curl_easy_setopt(c, CURLOPT_UPLOAD, 0L);
  curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(
      c, CURLOPT_URL,
      remotePaths::url(site_.protocol, site_.host, site_.port, {}, {}, {}).constData());
  Outcome o = perform(nullptr);
  if (o.failure != Failure::CertificateUntrusted) return o;
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
  if (!trust_.pinnedCertificate.isEmpty()) {
    curl_easy_setopt(c, CURLOPT_PINNEDPUBLICKEY, trust_.pinnedCertificate.constData());
    o = perform(nullptr);
    if (o.failure != Failure::CertificateUntrusted) return o;
  }
  static const QByteArray never = "sha256//" + QByteArray(32, '\0').toBase64();
  curl_easy_setopt(c, CURLOPT_PINNEDPUBLICKEY, never.constData());
  curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
  h_->captureDebug = true;
  h_->debugText.clear();
  perform(nullptr);
  h_->captureDebug = false;
  curl_easy_setopt(c, CURLOPT_VERBOSE, 0L);
  // Back to full checking for whatever this handle does next.
  curl_easy_setopt(c, CURLOPT_PINNEDPUBLICKEY, nullptr);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);

  const auto m = QRegularExpression(QStringLiteral("public key hash: (sha256//[A-Za-z0-9+/=]+)"))
                     .match(QString::fromLatin1(h_->debugText));
  if (!m.hasMatch()) {
    o.why = QStringLiteral("the server's certificate is not trusted (%1)").arg(o.why);
    return o;
  }
  o.presentedKey = m.captured(1).toLatin1();
  o.fingerprint = QStringLiteral("SHA256:") + m.captured(1).mid(8);
  o.why = trust_.pinnedCertificate.isEmpty()
              ? QStringLiteral(
                    "the server's certificate is not signed by an authority this "
                    "system trusts")
              : QStringLiteral("the server's certificate changed since you accepted it");
  return o;
}

Outcome Transfer::test() { return logIn(); }

void Transfer::removeQuietly(const UploadItem& item) {
  CURL* c = h_->curl;
  const QString name = fileNameOf(item.remotePath);
  const QString part =
      remotePaths::commandPath(site_.remoteFolder, item.remotePath, remotePaths::partName(name));
  curl_easy_setopt(c, CURLOPT_UPLOAD, 0L);
  curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(c, CURLOPT_POSTQUOTE, nullptr);
  curl_easy_setopt(c, CURLOPT_URL,
                   remotePaths::url(site_.protocol, site_.host, site_.port, site_.remoteFolder,
                                    item.remotePath, {})
                       .constData());
  if (site_.protocol == Protocol::Sftp) {
    curl_easy_setopt(c, CURLOPT_QUOTE, h_->list({"*rm " + remotePaths::sftpArgument(part)}));
  } else {
    // After the folder's CWD, so the bare name is the one in that folder.
    curl_easy_setopt(c, CURLOPT_QUOTE, nullptr);
    curl_easy_setopt(c, CURLOPT_POSTQUOTE,
                     h_->list({"*DELE " + remotePaths::partName(name).toUtf8()}));
  }
  const auto progress = std::exchange(h_->progress, nullptr);
  perform(nullptr);
  h_->progress = progress;
  curl_easy_setopt(c, CURLOPT_QUOTE, nullptr);
  curl_easy_setopt(c, CURLOPT_POSTQUOTE, nullptr);
  curl_easy_setopt(c, CURLOPT_NOBODY, 0L);
}

Outcome Transfer::upload(const std::vector<UploadItem>& items, const UploadCallbacks& callbacks,
                         const std::atomic_bool& cancel) {
  CURL* c = h_->curl;
  qint64 sentBefore = 0;
  if (Outcome o = logIn(); !o.ok()) return o;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const UploadItem& item = items[i];
    if (cancel.load()) return Outcome{Failure::Cancelled, QStringLiteral("cancelled"), {}, {}};
    if (!remotePaths::safeName(item.remotePath))
      return Outcome{
          Failure::LocalFile,
          QStringLiteral("%1: a file name with a line break cannot be sent").arg(item.remotePath),
          {},
          {}};
    h_->fromMemory = item.inMemory;
    h_->offset = 0;
    h_->sent.reset();
    h_->file.close();
    qint64 size = 0;
    if (item.inMemory) {
      h_->bytes.clear();
      if (const Status s = vFile::LoadBytes(h_->bytes, item.localPath); !s)
        return Outcome{Failure::LocalFile, item.localPath + QStringLiteral(": ") + s.why(), {}, {}};
      size = h_->bytes.size();
    } else {
      h_->file.setFileName(item.localPath);
      if (!h_->file.open(QIODevice::ReadOnly))
        return Outcome{Failure::LocalFile,
                       item.localPath + QStringLiteral(": ") + h_->file.errorString(),
                       {},
                       {}};
      size = h_->file.size();
    }

    const QString name = fileNameOf(item.remotePath);
    const QString part = remotePaths::partName(name);
    curl_easy_setopt(c, CURLOPT_URL,
                     remotePaths::url(site_.protocol, site_.host, site_.port, site_.remoteFolder,
                                      item.remotePath, part)
                         .constData());
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(size));
    QList<QByteArray> rename;
    if (site_.protocol == Protocol::Sftp) {
      auto arg = [&](const QString& n) {
        return remotePaths::sftpArgument(
            remotePaths::commandPath(site_.remoteFolder, item.remotePath, n));
      };
      // OpenSSH's server will not rename onto an existing file, so the old
      // copy steps aside first and is removed once the new one is in place.
      if (item.replaces)
        rename = {"*rm " + arg(remotePaths::asideName(name)),
                  "*rename " + arg(name) + ' ' + arg(remotePaths::asideName(name)),
                  "rename " + arg(part) + ' ' + arg(name),
                  "*rm " + arg(remotePaths::asideName(name))};
      else
        rename = {"rename " + arg(part) + ' ' + arg(name)};
    } else {
      rename = {"RNFR " + part.toUtf8(), "RNTO " + name.toUtf8()};
    }
    curl_easy_setopt(c, CURLOPT_POSTQUOTE, h_->list(rename));
    h_->progress = [&](qint64 sent) {
      if (callbacks.progress) callbacks.progress(sentBefore + sent, item.remotePath);
    };
    Outcome o = perform(&cancel);
    if (!o.ok() && o.failure == Failure::AccessDenied && site_.protocol == Protocol::Sftp &&
        !item.replaces && !cancel.load()) {
      // The file was there after all (put there by another program): the
      // upload is complete under its temporary name, so move it in place the
      // careful way.
      const UploadItem retry{item.localPath, item.remotePath, item.size, item.inMemory, true};
      curl_easy_setopt(c, CURLOPT_UPLOAD, 0L);
      curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
      curl_easy_setopt(c, CURLOPT_POSTQUOTE, nullptr);
      auto arg = [&](const QString& n) {
        return remotePaths::sftpArgument(
            remotePaths::commandPath(site_.remoteFolder, retry.remotePath, n));
      };
      curl_easy_setopt(c, CURLOPT_QUOTE,
                       h_->list({"*rm " + arg(remotePaths::asideName(name)),
                                 "*rename " + arg(name) + ' ' + arg(remotePaths::asideName(name)),
                                 "rename " + arg(part) + ' ' + arg(name),
                                 "*rm " + arg(remotePaths::asideName(name))}));
      curl_easy_setopt(c, CURLOPT_URL,
                       remotePaths::url(site_.protocol, site_.host, site_.port, site_.remoteFolder,
                                        item.remotePath, {})
                           .constData());
      o = perform(nullptr);
      curl_easy_setopt(c, CURLOPT_QUOTE, nullptr);
    }
    h_->progress = nullptr;
    h_->file.close();
    h_->bytes.clear();
    if (!o.ok()) {
      if (o.failure != Failure::HostKeyChanged && o.failure != Failure::HostKeyUnknown &&
          o.failure != Failure::LoginRefused && o.failure != Failure::CertificateUntrusted)
        removeQuietly(item);
      if (o.failure != Failure::Cancelled && o.failure != Failure::LocalFile)
        o.why = item.remotePath + QStringLiteral(": ") + o.why;
      return o;
    }
    sentBefore += size;
    if (callbacks.fileDone) callbacks.fileDone(i, h_->sent.result().toHex());
  }
  return {};
}
