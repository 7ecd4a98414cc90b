#pragma once

#include <QWebEngineUrlSchemeHandler>

// Serves the pages' own scheme (page_scheme.h). A request is answered only
// when it comes from the program or from a page of the same folder, and only
// with a regular file inside that folder's tree: no link is followed out of
// it and no hidden file or folder below it is served. The page itself is
// served as HTML whatever its name.
class PageSchemeHandler final : public QWebEngineUrlSchemeHandler {
  Q_OBJECT
 public:
  using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
  void requestStarted(QWebEngineUrlRequestJob* job) override;
};
