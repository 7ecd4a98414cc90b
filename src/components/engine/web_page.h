#pragma once

#include <QPoint>
#include <QWebEnginePage>
#include <functional>
#include <optional>

class QWebEngineProfile;

// The page behind the preview: decides what a page may do and where it may go.
class WebPage final : public QWebEnginePage {
  Q_OBJECT
 public:
  explicit WebPage(QObject* parent = nullptr);

  bool silent = false;
  // Whether the document holds edits that only its editor may decide to
  // leave: the page's own reloads, back and forward are refused meanwhile.
  // Asked of the editor, which knows; none (the default) holds none.
  std::function<bool()> holdsEdits;
  // The page tried to take the preview elsewhere (a script or a refresh
  // going to the web) and was refused: the engine ends that attempt as a
  // failed load, though the document shown is still the page's own.
  bool refusedLeave = false;

  // The one profile all previews share: kept in memory, serving pages through
  // their own scheme, with file: addresses closed to them.
  static QWebEngineProfile* sharedProfile();

  // The user clicked at viewPos of the view, or pressed Enter (nullopt): an
  // http, https or mailto link there (or focused) opens in the user's
  // browser, once. Nothing else opens it; page scripts cannot reach this.
  void openUserLink(std::optional<QPoint> viewPos);

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
  QWebEnginePage* createWindow(WebWindowType type) override;
  void javaScriptAlert(const QUrl& origin, const QString& msg) override;
  bool javaScriptConfirm(const QUrl& origin, const QString& msg) override;
  bool javaScriptPrompt(const QUrl& origin, const QString& msg, const QString& defaultValue,
                        QString* result) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                const QString&) override {}
};
