#include "engine/engine_parse.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <functional>
#include <memory>

#include "engine/page_scripts.h"
#include "engine/web_page.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "text/declared_charset.h"

namespace {

using Answer = std::optional<engineparse::Parsed>;
using Done = std::function<void(Answer)>;

// What a parse hands back, waiting for it: nullopt too when it never answers.
Answer answerOf(const std::function<void(Done)>& ask) {
  bool answered = false;
  Answer result;
  ask([&](Answer parsed) {
    answered = true;
    result = std::move(parsed);
  });
  if (!QTest::qWaitFor([&] { return answered; }, 30000)) return std::nullopt;
  return result;
}

Answer parse(engineparse::Checker& checker, const QByteArray& bytes) {
  return answerOf([&](Done done) { checker.parse(bytes, std::move(done)); });
}

Answer parseDeclared(QWebEnginePage* page, const QByteArray& bytes, const QByteArray& label,
                     const QString& charset) {
  return answerOf(
      [&](Done done) { engineparse::parseDeclared(page, bytes, label, charset, std::move(done)); });
}

}  // namespace

class EngineParseTest final : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    checker_ = std::make_unique<engineparse::Checker>();
    // The quick parse itself, in a page of the previews' profile: scripts off, a document shown.
    page_ = std::make_unique<QWebEnginePage>(WebPage::sharedProfile());
    pagescripts::install(page_.get());
    page_->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    QSignalSpy loaded(page_.get(), &QWebEnginePage::loadFinished);
    page_->setHtml(QStringLiteral("<p>shown"));
    QVERIFY(loaded.wait(30000));
  }
  void cleanupTestCase() {
    page_.reset();
    checker_.reset();
  }
  // The same checker reads one page after another, each as the engine reads
  // that page alone (undeclared ASCII is windows-1252 to it): nothing a page asks for elsewhere,
  // nor any message it could write, changes what is handed back.
  void readsWhatTheEngineReads_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("markup");
    QTest::addColumn<QString>("charset");
    QTest::newRow("declared single-byte page")
        << QByteArray("<meta charset=windows-1252><p>caf\xe9")
        << QStringLiteral(
               "<html><head><meta charset=\"windows-1252\"></head><body><p>caf\u00e9</p>"
               "</body></html>")
        << QStringLiteral("windows-1252");
    QTest::newRow("a refresh to elsewhere is not followed")
        << QByteArray("<meta http-equiv=refresh content=\"0; url=http://example.com/\"><p>stay")
        << QStringLiteral(
               "<html><head><meta http-equiv=\"refresh\" content=\"0; "
               "url=http://example.com/\"></head><body><p>stay</p></body></html>")
        << QStringLiteral("windows-1252");
    QTest::newRow("web files that never come hold nothing")
        << QByteArray("<link rel=stylesheet href=\"http://10.255.255.1/a.css\"><p>x")
        << QStringLiteral(
               "<html><head><link rel=\"stylesheet\" "
               "href=\"http://10.255.255.1/a.css\"></head><body><p>x</p></body></html>")
        << QStringLiteral("windows-1252");
    QTest::newRow("the page's scripts do not run")
        << QByteArray(
               "<p id=a>real<script>document.getElementById('a').textContent = "
               "'changed'</script>")
        << QStringLiteral(
               "<html><head></head><body><p id=\"a\">real<script>document."
               "getElementById('a').textContent = 'changed'</script></p></body></html>")
        << QStringLiteral("windows-1252");
  }
  void readsWhatTheEngineReads() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, markup);
    QFETCH(QString, charset);
    QElapsedTimer clock;
    clock.start();
    const std::optional<engineparse::Parsed> parsed = parse(*checker_, bytes);
    QVERIFY(parsed);
    QCOMPARE(parsed->markup, markup);
    QCOMPARE(parsed->charset, charset);
    // Far below the time a silent server holds a request.
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
  }

  // Parsed without a load, a page that settles its character set early reads
  // exactly as loaded: a save trusts this answer without loading the bytes.
  void declaredReadsAsLoaded_data() {
    QTest::addColumn<QString>("page");
    for (const QString& page : testfiles::pages())
      QTest::newRow(qPrintable(testfiles::pageName(page))) << page;
  }
  void declaredReadsAsLoaded() {
    QFETCH(QString, page);
    QV_SKIP_ABSENT_CORPUS(page);
    const QByteArray bytes = testfiles::read(page);
    const QByteArray label = declaredcharset::of(bytes);
    if (label.isEmpty()) QSKIP("its character set is not settled by its first bytes");
    const std::optional<engineparse::Parsed> loaded = parse(*checker_, bytes);
    QVERIFY(loaded);
    const std::optional<engineparse::Parsed> parsed =
        parseDeclared(page_.get(), bytes, label, loaded->charset);
    QVERIFY(parsed);
    QCOMPARE(parsed->markup, loaded->markup);
    QCOMPARE(parsed->charset, loaded->charset);
  }

  // No answer where the quick parse could differ from a load or the label
  // is not the character set the page was read in.
  void declaredRefuses_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("label");
    QTest::addColumn<QString>("charset");
    QTest::newRow("the label names another character set")
        << QByteArray("<meta charset=koi8-r><p>x") << QByteArray("koi8-r")
        << QStringLiteral("UTF-8");
    QTest::newRow("not a label") << QByteArray("<meta charset=nonsense><p>x")
                                 << QByteArray("nonsense") << QStringLiteral("windows-1252");
    QTest::newRow("a label that ends the script")
        << QByteArray("<p>x") << QByteArray("')); document.title = 'x'; ((' ")
        << QStringLiteral("UTF-8");
    QTest::newRow("a shadow root declared in markup")
        << QByteArray("<meta charset=utf-8><div><template ShadowRootMode=open><p>in</template>")
        << QByteArray("utf-8") << QStringLiteral("UTF-8");
  }
  void declaredRefuses() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, label);
    QFETCH(QString, charset);
    QVERIFY(!parseDeclared(page_.get(), bytes, label, charset));
  }

  // The checker's own renderer takes a quick parse only with its page settled:
  // an answer sent into a document being replaced could be lost.
  void checkerQuickParseWaitsForItsPage() {
    engineparse::Checker checker;
    const QByteArray bytes = "<meta charset=utf-8><p>caf\xC3\xA9";
    const auto quick = [&] {
      return answerOf([&](Done done) {
        checker.parseDeclared(bytes, "utf-8", QStringLiteral("UTF-8"), std::move(done));
      });
    };
    QVERIFY(!quick());
    QVERIFY(parse(checker, "<p>first"));
    const std::optional<engineparse::Parsed> parsed = quick();
    QVERIFY(parsed);
    QCOMPARE(parsed->markup,
             QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body><p>caf\u00e9</p>"
                            "</body></html>"));
  }

  // A check asked for while another runs ends that one unanswered, and
  // only the newer bytes are reported.
  void aNewerCheckEndsTheOlder() {
    engineparse::Checker checker;
    std::optional<engineparse::Parsed> first{engineparse::Parsed{}};
    bool firstAnswered = false;
    checker.parse("<p>first", [&](std::optional<engineparse::Parsed> parsed) {
      firstAnswered = true;
      first = std::move(parsed);
    });
    const std::optional<engineparse::Parsed> second = parse(checker, "<p>second");
    QVERIFY(firstAnswered);
    QVERIFY(!first);
    QVERIFY(second);
    QCOMPARE(second->markup,
             QStringLiteral("<html><head></head><body><p>second</p></body></html>"));
  }

 private:
  std::unique_ptr<engineparse::Checker> checker_;
  std::unique_ptr<QWebEnginePage> page_;
};

QV_TEST_MAIN(EngineParseTest)
#include "engine_parse_test.moc"
