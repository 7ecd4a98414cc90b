#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

// Where the preview shows a page from: an address of our own scheme whose
// host stands for the page's folder. A page's origin is then its folder and
// nothing else: it cannot name a file: address, nor a file of another folder,
// and everything it loads by a relative address comes through the handler
// (page_scheme_handler.h), which serves only that folder's tree.
namespace pagescheme {

inline constexpr char kScheme[] = "quorvane-page";

// Must run before QApplication is created, as the engine reads its schemes
// when it starts.
void registerScheme();

// The address the page file at path is shown at. The page's folder becomes
// servable, and the page itself is served as HTML whatever its name.
QUrl urlOf(const QString& path);

// The file behind an address of a folder urlOf has made servable: the page
// itself or any file below its folder (not checked to exist). Empty for any
// other address.
QString pathOf(const QUrl& url);

// Until forgotten, the page urlOf(path) stands for is served as these bytes
// rather than read from its file: bytes that are never meant for a file.
void serveBytes(const QString& path, const QByteArray& bytes);
void forgetBytes(const QString& path);
std::optional<QByteArray> bytesFor(const QString& path);

// What the handler may serve for an address.
struct Served final {
  QString path;         // the file, as its folder was given
  QString root;         // the page's folder, as given
  bool listed = false;  // the page urlOf was asked for (served as HTML)
};
std::optional<Served> servedFor(const QUrl& url);

// Where a page's files are served from: the program's web proxy answers an
// address of a folder's file host from that folder's tree, as a web server
// of another origin that grants the page no read of what it serves. The
// hosts carry a secret of this run, so nothing but the engine can name them.
// An address of the page scheme, on its folder's file host.
QUrl fileUrlOf(const QUrl& pageUrl);
// Whether an address is on a folder's file host; what it serves and the
// origin of the page the folder belongs to.
bool isFileUrl(const QUrl& url);
std::optional<Served> servedForFile(const QUrl& url);
QString pageOriginOf(const QUrl& fileUrl);

// The type a file is served as, by its name.
QByteArray mimeOf(const QString& path);

// The host that stands for a folder (pure; the same folder, the same host).
QString hostFor(const QString& folder);

// The components of a relative path below a page's folder, or nullopt when
// one of them may not be served: hidden ("."-prefixed, "." and ".." too).
// Empty components (a doubled "/") are dropped.
std::optional<QStringList> servableComponents(const QString& relativePath);

}  // namespace pagescheme
