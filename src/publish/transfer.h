#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "publish/remote_paths.h"

// Where to publish and as whom.
struct Site final {
  Protocol protocol = Protocol::Sftp;
  QString host;
  int port = 22;
  QString user;
  QString password;
  QString remoteFolder;  // as remotePaths::normalFolder gives it
};

// What the user trusts: OpenSSH's own list of host keys, and what they
// accepted in this program for this server.
struct Trust final {
  QString knownHostsFile;        // the user's ~/.ssh/known_hosts; may be absent
  QByteArray acceptedHostKey;    // "<type> <base64 key>" accepted for this host and port
  QByteArray pinnedCertificate;  // "sha256//<base64>" of an FTPS certificate's key
};

enum class Failure {
  None,
  Cancelled,
  LoginRefused,
  HostKeyUnknown,
  HostKeyChanged,
  CertificateUntrusted,
  NoSpace,
  TimedOut,
  ConnectionRefused,
  HostNotFound,
  ConnectionLost,
  AccessDenied,
  NoEncryption,
  LocalFile,
  Other,
};

struct Outcome final {
  Failure failure = Failure::None;
  QString why;              // in the user's words; names the cause
  QString fingerprint;      // for an unknown key or certificate: what to show
  QByteArray presentedKey;  // and what to remember if the user accepts it
  bool ok() const { return failure == Failure::None; }
};

struct UploadItem final {
  QString localPath;
  QString remotePath;  // '/'-separated, below the remote folder
  qint64 size = 0;
  bool inMemory = false;  // read whole through the page reader (pages)
  bool replaces = false;  // a copy was uploaded before, so one is likely there
};

struct UploadCallbacks final {
  // Bytes sent of all files so far (finished files and the current one).
  std::function<void(qint64 sent, const QString& remotePath)> progress;
  // A file is complete and in place under its own name; sha256 (hex) is of
  // the bytes sent, which may differ from what the file held when listed.
  std::function<void(std::size_t index, const QByteArray& sha256)> fileDone;
};

struct TransferHandle;

// Uploads files to one site over one connection (libcurl), kept open from
// file to file. Blocking: run it on a worker thread. Each file is written
// under a hidden temporary name and renamed over the old one only when
// complete; a failed or cancelled file's temporary copy is removed.
class Transfer final {
 public:
  Transfer(Site site, Trust trust);
  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // Connects and logs in, checking the server's identity.
  Outcome test();
  // Stops at the first failure; files done before it stay done.
  Outcome upload(const std::vector<UploadItem>& items, const UploadCallbacks& callbacks,
                 const std::atomic_bool& cancel);

  // libcurl's process-wide set-up; call once from the main thread first.
  static void initialise();
  // The SHA-256 fingerprint of an SSH host key blob, as OpenSSH prints it.
  static QString hostKeyFingerprint(const QByteArray& keyBlob);

 private:
  Outcome perform(const std::atomic_bool* cancel);
  Outcome logIn();
  void applyCommon();
  void removeQuietly(const UploadItem& item);

  Site site_;
  Trust trust_;
  std::unique_ptr<TransferHandle> h_;
};
