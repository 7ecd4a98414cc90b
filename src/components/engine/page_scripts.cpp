#include "engine/page_scripts.h"

#include <QFile>
#include <QJsonDocument>
#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace {

constexpr auto kWorld = QWebEngineScript::ApplicationWorld;

// In the order they are put in: later ones may use what earlier ones define.
constexpr const char* kScripts[] = {"document",       "kept_markup",    "edits",
                                    "user_link",      "parse_declared", "document_ops",
                                    "locate_problem", "code_view"};

const QList<QWebEngineScript>& scripts() {
  static const QList<QWebEngineScript> all = [] {
    QList<QWebEngineScript> list;
    for (const char* name : kScripts) {
      QFile file(QStringLiteral(":/scripts/%1.js").arg(QLatin1String(name)));
      // Built into the program: a missing one is a broken build.
      if (!file.open(QIODevice::ReadOnly)) qFatal("page script %s is missing", name);
      QWebEngineScript script;
      script.setName(QStringLiteral("quorvane-%1").arg(QLatin1String(name)));
      script.setSourceCode(QString::fromUtf8(file.readAll()));
      script.setWorldId(kWorld);
      // Before anything of the document runs or can be asked about.
      script.setInjectionPoint(QWebEngineScript::DocumentCreation);
      script.setRunsOnSubFrames(false);
      list << script;
    }
    return list;
  }();
  return all;
}

// Every script's source in one, for a document that was made without them.
const QString& allSources() {
  static const QString all = [] {
    QString source;
    for (const QWebEngineScript& script : scripts()) source += script.sourceCode() + u'\n';
    return source;
  }();
  return all;
}

// What a document without the program's scripts answers a call.
constexpr const char* kMissing = "quorvane-scripts-missing";

QString callOf(const QString& function, const QJsonArray& args) {
  return QStringLiteral("window.__qv.%1.apply(null, %2)")
      .arg(function, QString::fromUtf8(QJsonDocument(args).toJson(QJsonDocument::Compact)));
}

}  // namespace

namespace pagescripts {

void install(QWebEnginePage* page) { page->scripts().insert(scripts()); }

QString expression(const QString& function, const QJsonArray& args) {
  return QStringLiteral("(window.__qv ? %1 : undefined)").arg(callOf(function, args));
}

void call(QWebEnginePage* page, const QString& function, const QJsonArray& args,
          std::function<void(const QVariant&)> done) {
  const QString call = callOf(function, args);
  // The answer comes wrapped, so that a document without our scripts (a
  // marker string) is told apart from a function that answered nothing, and
  // both from a page that went away before answering (no answer at all).
  QPointer<QWebEnginePage> guard(page);
  page->runJavaScript(
      QStringLiteral("(window.__qv ? [%1] : '%2')").arg(call, QLatin1String(kMissing)), kWorld,
      [guard, call, done = std::move(done)](const QVariant& answer) {
        if (answer.typeId() == QMetaType::QVariantList) {
          if (done) done(answer.toList().value(0));
          return;
        }
        // A page being destroyed answers its pending calls with nothing: it
        // must not be asked anything more (it is half gone, though the
        // guard does not know it yet).
        if (!guard || answer.toString() != QLatin1String(kMissing)) {
          if (done) done(QVariant());
          return;
        }
        // A renderer started under load may make a document before it has
        // heard of the scripts: they go in now (each keeps what an earlier
        // copy of it holds), and the question is asked again.
        guard->runJavaScript(allSources() + call, kWorld, done);
      });
}

}  // namespace pagescripts
