#include "components/engine_parse.h"

#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>

#include "components/web_page.h"

namespace {

constexpr int kTimeoutMs = 180'000;  // a 10 MB page loads in under 10 s

// Shows nothing and goes nowhere: a meta refresh or a script-free redirect
// must not replace the document being read.
class HiddenPage final : public QWebEnginePage {
 public:
  HiddenPage(const QUrl& url, QObject* parent)
      : QWebEnginePage(WebPage::sharedProfile(), parent), url_(url) {}

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
    return !isMainFrame || url == url_;
  }
  QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                const QString&) override {}

 private:
  QUrl url_;
};

class Parse final : public QObject {
 public:
  Parse(QObject* context, std::function<void(std::optional<engineparse::Parsed>)> done)
      : QObject(context), done_(std::move(done)) {}

  void start(const QByteArray& bytes) {
    // A file of its own rather than setContent, which takes at most 2 MB.
    const QString path = dir_.filePath(QStringLiteral("page.html"));
    QFile file(path);
    if (!dir_.isValid() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
      finish(std::nullopt);
      return;
    }
    file.close();
    const QUrl url = QUrl::fromLocalFile(path);
    page_ = new HiddenPage(url, this);
    page_->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    page_->settings()->setAttribute(QWebEngineSettings::AutoLoadImages, false);
    connect(page_, &QWebEnginePage::loadFinished, this, [this, url](bool ok) {
      if (!ok || page_->url() != url) {
        finish(std::nullopt);
        return;
      }
      QPointer<Parse> self(this);
      page_->runJavaScript(
          QStringLiteral("({ charset: document.characterSet, markup: document.documentElement ? "
                         "document.documentElement.outerHTML : '' })"),
          QWebEngineScript::ApplicationWorld, [self](const QVariant& v) {
            if (!self) return;
            const QVariantMap page = v.toMap();
            self->finish(engineparse::Parsed{page.value(QStringLiteral("markup")).toString(),
                                             page.value(QStringLiteral("charset")).toString()});
          });
    });
    QTimer::singleShot(kTimeoutMs, this, [this] { finish(std::nullopt); });
    page_->load(url);
  }

 private:
  void finish(std::optional<engineparse::Parsed> parsed) {
    if (!done_) return;
    const auto done = std::exchange(done_, {});
    deleteLater();
    done(std::move(parsed));
  }

  std::function<void(std::optional<engineparse::Parsed>)> done_;
  QTemporaryDir dir_;
  QWebEnginePage* page_ = nullptr;
};

}  // namespace

namespace engineparse {

void parse(const QByteArray& bytes, QObject* context,
           std::function<void(std::optional<Parsed>)> done) {
  (new Parse(context, std::move(done)))->start(bytes);
}

}  // namespace engineparse
