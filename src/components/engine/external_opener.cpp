#include "engine/external_opener.h"

#include <QDesktopServices>
#include <QUrl>

namespace externalopener {

namespace {

UrlOpener& installed() {
  static UrlOpener opener;
  return opener;
}

}  // namespace

bool opensOutside(const QUrl& url) {
  const QString scheme = url.scheme();
  return scheme == u"http" || scheme == u"https" || scheme == u"mailto";
}

void setOpener(UrlOpener opener) { installed() = std::move(opener); }

void open(const QUrl& url) {
  if (installed())
    installed()(url);
  else
    QDesktopServices::openUrl(url);
}

}  // namespace externalopener
