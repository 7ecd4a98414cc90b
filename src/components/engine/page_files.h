#pragma once

#include <QByteArray>
#include <QFile>
#include <QUrl>
#include <memory>

// How the web proxy answers the engine's request for a page's file on the
// folder's file host (pagescheme::fileUrlOf): from disk, never the network,
// and only a regular, non-hidden file inside the folder's tree. The file
// host is another origin than the page's and grants the page no read of
// what it serves, so the engine's own cross-origin rules keep every file's
// contents from the page's scripts while its images, styles, scripts, fonts
// and media still show.
namespace pagefiles {

// What the engine's request interceptor says a load is for, in this header.
inline constexpr char kLoadHeader[] = "Quorvane-Load";
inline constexpr char kLoadFont[] = "font";
inline constexpr char kLoadScript[] = "script";

struct Request final {
  QByteArray method;
  QUrl url;
  QByteArray origin;  // the Origin header, if any
  QByteArray range;   // the Range header, if any
  QByteArray load;    // kLoadHeader's value, if any
};

struct Answer final {
  QByteArray head;              // status line and headers, up to the blank line
  std::unique_ptr<QFile> body;  // positioned at the first byte to send; none for no body
  qint64 length = 0;            // bytes of body to send
};

Answer answer(const Request& request);

// The value of a header in a request head (lines ending in CRLF), or empty.
QByteArray headerValue(const QByteArray& head, const QByteArray& name);

}  // namespace pagefiles
