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

void setOpener(UrlOpener opener) { installed() = std::move(opener); }

void open(const QUrl& url) {
  if (installed())
    installed()(url);
  else
    QDesktopServices::openUrl(url);
}

}  // namespace externalopener
