#include "engine/page_files.h"

#include <optional>

#include "engine/page_scheme.h"
#include "files/paths.h"
#include "files/v_file.h"

namespace pagefiles {

namespace {

bool isJavaScript(const QByteArray& type) {
  return type == "text/javascript" || type == "application/javascript" ||
         type == "application/x-javascript";
}

QByteArray statusHead(const char* status) {
  return QByteArray("HTTP/1.1 ") + status + "\r\nContent-Length: 0\r\n";
}

Answer empty(const char* status) { return Answer{statusHead(status), nullptr, 0}; }

// The first and last byte a single "bytes=" range asks for, clipped to the
// file; nullopt for a range that cannot be met. Several ranges are answered
// with the whole file, as a server may.
struct Span final {
  qint64 first = 0, last = 0;
};
std::optional<std::optional<Span>> spanOf(const QByteArray& range, qint64 size) {
  if (!range.startsWith("bytes=") || range.contains(',')) return std::optional<Span>{};
  const QByteArray spec = range.mid(6).trimmed();
  const qsizetype dash = spec.indexOf('-');
  if (dash < 0) return std::optional<Span>{};
  bool okFirst = false, okLast = false;
  const QByteArray from = spec.left(dash).trimmed(), to = spec.mid(dash + 1).trimmed();
  if (from.isEmpty()) {  // the last n bytes
    const qint64 n = to.toLongLong(&okLast);
    if (!okLast || n <= 0 || size == 0) return std::nullopt;
    return std::optional<Span>{Span{std::max<qint64>(0, size - n), size - 1}};
  }
  const qint64 first = from.toLongLong(&okFirst);
  qint64 last = to.isEmpty() ? size - 1 : to.toLongLong(&okLast);
  if (!okFirst || (!to.isEmpty() && !okLast) || first < 0 || last < first) return std::nullopt;
  if (first >= size) return std::nullopt;
  return std::optional<Span>{Span{first, std::min(last, size - 1)}};
}

}  // namespace

QByteArray headerValue(const QByteArray& head, const QByteArray& name) {
  const QByteArray wanted = name.toLower();
  for (const QByteArray& raw : head.split('\n')) {
    const qsizetype colon = raw.indexOf(':');
    if (colon > 0 && raw.left(colon).trimmed().toLower() == wanted)
      return raw.mid(colon + 1).trimmed();
  }
  return {};
}

Answer answer(const Request& request) {
  const bool head = request.method == "HEAD";
  const bool preflight = request.method == "OPTIONS";
  if (request.method != "GET" && !head && !preflight) return empty("405 Method Not Allowed");
  const std::optional<pagescheme::Served> served = pagescheme::servedForFile(request.url);
  const QString real = served ? paths::regularFileInside(served->path, served->root) : QString();
  if (real.isEmpty()) return empty("404 Not Found");
  const QByteArray type = pagescheme::mimeOf(served->path);

  // Read access only where the engine needs it to use the file at all: a
  // font, and a module script that is a script, for the page it belongs to.
  // What the load is for was put there by the engine's request interceptor,
  // which a page's script cannot change.
  const bool ownPage = !request.origin.isEmpty() &&
                       request.origin == pagescheme::pageOriginOf(request.url).toLatin1();
  const bool granted =
      ownPage && (request.load == kLoadFont || (request.load == kLoadScript && isJavaScript(type)));
  QByteArray common =
      "Cache-Control: no-store\r\nVary: Origin\r\n"
      // A file shown as a document (a frame, an object) gets an origin of its
      // own that reaches nothing: it reads neither the page nor its files.
      "Content-Security-Policy: sandbox allow-scripts allow-forms\r\n";
  // The interceptor's header makes the engine ask first for a load in CORS
  // mode; the answer lets the request come, and grants nothing of the file.
  if (preflight)
    return Answer{statusHead("204 No Content") + common +
                      (ownPage ? "Access-Control-Allow-Origin: " + request.origin +
                                     "\r\nAccess-Control-Allow-Methods: GET\r\n"
                                     "Access-Control-Allow-Headers: " +
                                     kLoadHeader + "\r\n"
                               : QByteArray()),
                  nullptr, 0};
  if (granted) common += "Access-Control-Allow-Origin: " + request.origin + "\r\n";

  auto file = std::make_unique<QFile>();
  if (!vFile::OpenRegular(*file, real)) return empty("404 Not Found");
  const qint64 size = file->size();
  qint64 first = 0, length = size;
  QByteArray status = "200 OK";
  if (!request.range.isEmpty()) {
    const auto span = spanOf(request.range, size);
    if (!span)
      return Answer{statusHead("416 Range Not Satisfiable") + "Content-Range: bytes */" +
                        QByteArray::number(size) + "\r\n",
                    nullptr, 0};
    if (*span) {
      first = (*span)->first;
      length = (*span)->last - first + 1;
      status = "206 Partial Content";
      common += "Content-Range: bytes " + QByteArray::number(first) + '-' +
                QByteArray::number((*span)->last) + '/' + QByteArray::number(size) + "\r\n";
    }
  }
  if (!file->seek(first)) return empty("404 Not Found");
  Answer out;
  out.head = "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
             "\r\nContent-Length: " + QByteArray::number(length) + "\r\nAccept-Ranges: bytes\r\n" +
             common;
  if (!head) {
    out.body = std::move(file);
    out.length = length;
  }
  return out;
}

}  // namespace pagefiles
