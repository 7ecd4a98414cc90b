#include "components/engine_parse.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>

#include "components/page_scheme.h"
#include "components/v_file.h"
#include "components/web_page.h"

namespace {

constexpr int kTimeoutMs = 180'000;  // a 10 MB page loads in under 10 s
constexpr int kPollMs = 20;

const QString kRead = QStringLiteral(
    "document.readyState === 'loading' ? { href: location.href } : { href: location.href, "
    "charset: document.characterSet, markup: document.documentElement ? "
    "document.documentElement.outerHTML : '' }");

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
    if (!dir_.isValid() || !vFile::SaveBytes(bytes, path)) {
      finish(std::nullopt);
      return;
    }
    // Served as the preview serves the page, so both read it alike.
    url_ = pagescheme::urlOf(path);
    page_ = new HiddenPage(url_, this);
    page_->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    page_->settings()->setAttribute(QWebEngineSettings::AutoLoadImages, false);
    // The document is whole once its parsing ends; a hidden page may never
    // report the end of the load itself (an embedded object can hold it).
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, &Parse::ask);
    poll->start(kPollMs);
    QTimer::singleShot(kTimeoutMs, this, [this] { finish(std::nullopt); });
    page_->load(url_);
  }

 private:
  void ask() {
    if (asking_) return;
    asking_ = true;
    QPointer<Parse> self(this);
    page_->runJavaScript(kRead, QWebEngineScript::ApplicationWorld, [self](const QVariant& v) {
      if (!self) return;
      self->asking_ = false;
      const QVariantMap page = v.toMap();
      const QString href = page.value(QStringLiteral("href")).toString();
      if (href.startsWith(u"chrome-error:")) {  // the engine's error page: the file did not load
        self->finish(std::nullopt);
        return;
      }
      // Until the file's document is there, the page holds an empty one.
      if (QUrl(href) != self->url_ || !page.contains(QStringLiteral("markup"))) return;
      self->finish(engineparse::Parsed{page.value(QStringLiteral("markup")).toString(),
                                       page.value(QStringLiteral("charset")).toString()});
    });
  }

  void finish(std::optional<engineparse::Parsed> parsed) {
    if (!done_) return;
    const auto done = std::exchange(done_, {});
    deleteLater();
    done(std::move(parsed));
  }

  std::function<void(std::optional<engineparse::Parsed>)> done_;
  QTemporaryDir dir_;
  QWebEnginePage* page_ = nullptr;
  QUrl url_;
  bool asking_ = false;
};

}  // namespace

namespace engineparse {

void parse(const QByteArray& bytes, QObject* context,
           std::function<void(std::optional<Parsed>)> done) {
  (new Parse(context, std::move(done)))->start(bytes);
}

}  // namespace engineparse
