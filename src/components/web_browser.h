#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

class QUrl;
class QWebEngineView;
class WebPage;

// The preview and editor: Chromium through QWebEngineView, offering exactly the
// operations the windows use. Pages come from others and are untrusted: they
// cannot read local files through fetch/XHR, open pop-ups, or leave the
// preview for the web (a clicked web link opens in the default browser).
class WebBrowser final : public QWidget {
  Q_OBJECT
 public:
  explicit WebBrowser(QWidget* parent = nullptr);
  ~WebBrowser() override;

  // Silent: the page's own dialogs (alert, confirm, prompt) are suppressed.
  bool Silent() const;
  void setSilent(bool silent);

  // Loads a plain file path; an empty path does nothing. Every load ends with
  // DownloadComplete, also a failed one.
  void Navigate2(const QString& path);

  // The file path of the document shown now, empty when it is not a file.
  QString LocationPath() const;

  // "On" makes the whole document editable in place, "off" read-only again.
  void setDesignMode(const QString& value);
  void readDesignMode(std::function<void(const QString&)> done) const;

  // The root element's markup as the engine holds it now.
  void readMarkup(std::function<void(const QString&)> done) const;

  QWebEngineView* view() const { return view_; }

  // Where clicked web links go; the default opens the system's browser.
  using UrlOpener = std::function<void(const QUrl&)>;
  static void setExternalOpener(UrlOpener opener);
  static void openExternally(const QUrl& url);

 signals:
  void DownloadComplete();

 private:
  QWebEngineView* view_ = nullptr;
  WebPage* page_ = nullptr;
};
