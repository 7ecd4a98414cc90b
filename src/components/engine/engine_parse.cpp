#include "engine/engine_parse.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QUuid>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

#include "engine/page_scheme.h"
#include "engine/page_scripts.h"
#include "engine/web_page.h"

namespace {

constexpr int kTimeoutMs = 180'000;  // a 10 MB page loads in under 10 s
constexpr int kPollMs = 5;

}  // namespace

namespace engineparse {

// Shows nothing and goes nowhere: a meta refresh or a script-free redirect
// must not replace the document being read.
class HiddenPage final : public QWebEnginePage {
 public:
  explicit HiddenPage(QObject* parent) : QWebEnginePage(WebPage::sharedProfile(), parent) {
    pagescripts::install(this);
  }
  void allow(const QUrl& url) { url_ = url; }
  std::function<void(const QString&)> told;

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
    return !isMainFrame || url == url_;
  }
  QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                const QString&) override {
    if (told) told(message);
  }

 private:
  QUrl url_;
};

}  // namespace engineparse

namespace {

// Only the document itself: its stylesheets, images, frames and fonts
// change nothing in its markup, and a server that does not answer must not
// hold the check.
class DocumentOnly final : public QWebEngineUrlRequestInterceptor {
 public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    if (info.resourceType() != QWebEngineUrlRequestInfo::ResourceTypeMainFrame) info.block(true);
  }
};

}  // namespace

namespace engineparse {

Checker::Checker(QObject* parent) : QObject(parent) {
  page_ = new HiddenPage(this);
  page_->setUrlRequestInterceptor(new DocumentOnly(page_));
  page_->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  page_->settings()->setAttribute(QWebEngineSettings::AutoLoadImages, false);
  // The document is read the moment it is parsed, before the engine lays it
  // out for its load event, and handed over as a message of the program's
  // own world, marked so that nothing else passes for it.
  token_ = QUuid::createUuid().toString(QUuid::WithoutBraces);
  QWebEngineScript tell;
  tell.setInjectionPoint(QWebEngineScript::DocumentReady);
  tell.setWorldId(QWebEngineScript::ApplicationWorld);
  tell.setSourceCode(QStringLiteral("console.log('%1' + JSON.stringify(%2));")
                         .arg(token_, pagescripts::expression(QStringLiteral("parsed"))));
  page_->scripts().insert(tell);
  page_->told = [this](const QString& message) {
    if (!message.startsWith(token_)) return;
    const QVariantMap page =
        QJsonDocument::fromJson(QStringView(message).mid(token_.size()).toUtf8())
            .toVariant()
            .toMap();
    if (QUrl(page.value(QStringLiteral("href")).toString()) == url_) settled_ = true;
    if (done_) answer(page);
  };
  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, &Checker::ask);
  giveUp_.setSingleShot(true);
  connect(&giveUp_, &QTimer::timeout, this, [this] { finish(std::nullopt); });
  // An empty page from the folder later checks use: the renderer that
  // starts for it is the one that reads them. The folder holds no files.
  load({});
}

Checker::~Checker() {
  // Pending answers find the checker gone.
  done_ = {};
  pagescheme::forgetBytes(file_);
}

void Checker::load(const QByteArray& bytes) {
  if (!file_.isEmpty()) pagescheme::forgetBytes(file_);
  file_ = dir_.filePath(QStringLiteral("page%1.html").arg(round_++));
  // Served from memory as the preview serves a page from its file, so both
  // read it alike, and without a file to write and read back.
  pagescheme::serveBytes(file_, bytes);
  url_ = pagescheme::urlOf(file_);
  settled_ = false;
  page_->allow(url_);
  page_->load(url_);
}

void Checker::parse(const QByteArray& bytes, std::function<void(std::optional<Parsed>)> done) {
  finish(std::nullopt);
  done_ = std::move(done);
  load(bytes);
  // The document is whole once its parsing ends; a hidden page may never
  // report the end of the load itself.
  asking_ = false;
  poll_.start();
  giveUp_.start(kTimeoutMs);
}

void Checker::ask() {
  if (asking_) return;
  asking_ = true;
  QPointer<Checker> self(this);
  const int round = round_;
  pagescripts::call(page_, QStringLiteral("parsed"), {}, [self, round](const QVariant& v) {
    if (!self || self->round_ != round) return;
    self->asking_ = false;
    self->answer(v.toMap());
  });
}

void Checker::answer(const QVariantMap& page) {
  const QString href = page.value(QStringLiteral("href")).toString();
  if (href.startsWith(u"chrome-error:")) {  // the engine's error page: the file did not load
    finish(std::nullopt);
    return;
  }
  // Until the file's document is there, the page holds the last one.
  if (QUrl(href) != url_ || !page.contains(QStringLiteral("markup"))) return;
  finish(Parsed{page.value(QStringLiteral("markup")).toString(),
                page.value(QStringLiteral("charset")).toString()});
}

void Checker::finish(std::optional<Parsed> parsed) {
  poll_.stop();
  giveUp_.stop();
  if (!done_) return;
  const auto done = std::exchange(done_, {});
  // The document read is not kept in memory until the next check.
  pagescripts::call(page_, QStringLiteral("empty"));
  done(std::move(parsed));
}

void Checker::parseDeclared(const QByteArray& bytes, const QByteArray& label,
                            const QString& charset,
                            std::function<void(std::optional<Parsed>)> done) {
  // A script sent while a load is on its way may land in the document the
  // load replaces, and its answer with it.
  if (!settled_ || done_) {
    done(std::nullopt);
    return;
  }
  QPointer<Checker> self(this);
  engineparse::parseDeclared(page_, bytes, label, charset,
                             [self, done = std::move(done)](std::optional<Parsed> parsed) {
                               if (self) done(std::move(parsed));
                             });
}

void parseDeclared(QWebEnginePage* page, const QByteArray& bytes, const QByteArray& label,
                   const QString& charset, std::function<void(std::optional<Parsed>)> done) {
  if (bytes.toLower().contains("shadowroot")) {
    done(std::nullopt);
    return;
  }
  // Everything from the page goes in as base64, decoded by the script.
  const QJsonArray args{QString::fromLatin1(label.toBase64()),
                        QString::fromLatin1(charset.toUtf8().toBase64()),
                        QString::fromLatin1(bytes.toBase64())};
  pagescripts::call(page, QStringLiteral("parseDeclared"), args,
                    [charset, done = std::move(done)](const QVariant& v) {
                      if (v.typeId() != QMetaType::QString) {
                        done(std::nullopt);
                        return;
                      }
                      done(Parsed{v.toString(), charset});
                    });
}

}  // namespace engineparse
