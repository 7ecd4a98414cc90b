#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "components/web_page.h"

// The page shown after a save, loaded while the saved bytes are still being
// checked: from those bytes (served from memory until the file holds them),
// in a page of its own that is shown only once the file holds exactly them.
// A save that is checked and written the whole way round shows the page no
// later than before; one that fails or is written another way leaves the
// page unused, and nothing of it is ever seen.
class PagePreload final : public QObject {
 public:
  // Starts loading path's page from bytes into page, which it owns until taken.
  PagePreload(WebPage* page, const QString& path, const QByteArray& bytes, bool scripts,
              QObject* parent);
  // The bytes are no longer served; the page goes unless it was taken.
  ~PagePreload() override;

  // The page, when it is a load of url with these scripts and the file now
  // holds the bytes it was loaded from; nullptr otherwise.
  WebPage* take(const QUrl& url, bool scripts);
  // Whether the load has ended, and how.
  bool finished() const { return finished_; }
  bool ok() const { return ok_; }

 private:
  QPointer<WebPage> page_;
  QString path_;
  QByteArray bytes_;
  QUrl url_;
  bool scripts_;
  bool taken_ = false;
  bool finished_ = false;
  bool ok_ = false;
};
