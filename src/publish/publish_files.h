#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// One local file of a publish and where it goes below the remote folder.
struct PublishFile final {
  QString localPath;
  QString remotePath;  // '/'-separated, relative to the remote folder
  qint64 size = 0;
  QByteArray sha256;  // hex
  bool isPage = false;
};

// Every page of the list and every file they use inside their own folder
// (followed one step into style sheets for fonts and images), files before
// the pages that use them so a visitor never meets a page whose pictures are
// not there yet. A referenced file that is missing, not a regular file, or
// (through a link) outside the page folder or hidden is left out and named
// in skipped.
std::vector<PublishFile> filesToPublish(const QStringList& pages, QStringList* skipped = nullptr);

// The SHA-256 of a file's bytes (hex), read in pieces; empty if unreadable.
QByteArray fileSha256(const QString& path);
