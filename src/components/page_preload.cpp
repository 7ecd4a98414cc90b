#include "components/page_preload.h"

#include <QWebEngineSettings>

#include "components/page_scheme.h"
#include "components/v_file.h"
#include "components/web_page.h"

PagePreload::PagePreload(WebPage* page, const QString& path, const QByteArray& bytes, bool scripts,
                         QObject* parent)
    : QObject(parent),
      page_(page),
      path_(path),
      bytes_(bytes),
      url_(pagescheme::urlOf(path)),
      scripts_(scripts) {
  pagescheme::serveBytes(path_, bytes_);
  connect(page_, &QWebEnginePage::loadFinished, this, [this](bool ok) {
    finished_ = true;
    ok_ = ok;
  });
  page_->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, scripts_);
  page_->load(url_);
}

PagePreload::~PagePreload() {
  pagescheme::forgetBytes(path_);
  if (!taken_ && page_) page_->deleteLater();
}

WebPage* PagePreload::take(const QUrl& url, bool scripts) {
  if (!page_ || url != url_ || scripts != scripts_) return nullptr;
  // Shown only when it shows the file: not after a save written whole, nor
  // when anything else wrote the file meanwhile.
  QByteArray now;
  if (!vFile::LoadBytes(now, path_) || now != bytes_) return nullptr;
  taken_ = true;
  disconnect(page_, nullptr, this, nullptr);
  return page_;
}
