#pragma once

#include <QByteArray>
#include <QString>

enum class Protocol { Sftp, Ftps, Ftp };

// The port each protocol's servers listen on unless told otherwise.
int defaultPort(Protocol protocol);

// Addresses and server commands for files below the remote folder. Pure
// functions: every name that reaches a server is shaped here.
namespace remotePaths {

// The folder as typed ("/public_html/offer/", "public_html", "~/www",
// "\\www"): '/'-separated, no doubled or trailing separators; "" for the
// login folder. A leading "/" (absolute) is kept; "~/" means the login folder.
QString normalFolder(const QString& typed);

// The name a file is written under until it is complete, and the name the
// old copy steps aside to while the new one takes its place, both hidden
// files in the same folder (so the rename never crosses file systems).
QString partName(const QString& fileName);
QString asideName(const QString& fileName);

// The address of remotePath (relative to folder, '/'-separated) with its file
// name replaced by name, each segment percent-encoded; name empty gives the
// address of the file's folder, ending in "/".
QByteArray url(Protocol protocol, const QString& host, int port, const QString& folder,
               const QString& remotePath, const QString& name);

// The path a server command names: folder and remotePath's folder joined
// with name, as the server resolves it from the login folder.
QString commandPath(const QString& folder, const QString& remotePath, const QString& name);

// A path as one argument of an SFTP command (double quotes, with '"' and '\'
// escaped), so spaces and quotes in a name stay part of it.
QByteArray sftpArgument(const QString& path);

// Whether a name can travel in a server command at all: FTP commands end at
// a line break, so a name holding one could smuggle in a second command.
bool safeName(const QString& path);

}  // namespace remotePaths
