// Old pages still look and work as they did now that a page's files come from
// an origin that lets its scripts read none of them: images, style sheets,
// scripts (classic and module), web fonts, media, a slider and a countdown
// kept in localStorage, in viewing and in editing. Over our own pages, a page
// made here with each of those, and the corpus when it is there.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include "editor/web_browser.h"
#include "engine/external_opener.h"
#include "engine/page_scheme.h"
#include "support/browser_driver.h"
#include "support/test_files.h"
#include "support/test_main.h"

namespace {

// What the page shows, asked in the program's own world: the page's own
// files that failed to load, and what its scripts left in the document.
const char* const kLook = R"JS(JSON.stringify((() => {
  const own = u => u.startsWith('quorvane-page:');
  const images = Array.from(document.images).filter(i => own(i.src) && i.loading !== 'lazy');
  const playable = m => !/\.mp4$/i.test(m.currentSrc) ||
      document.createElement('video').canPlayType('video/mp4; codecs="avc1.42E01E"') !== '';
  const media = Array.from(document.querySelectorAll('video, audio'))
      .filter(m => own(m.currentSrc) && playable(m));
  return {
    ready: document.readyState === 'complete' && document.fonts.status === 'loaded' &&
        images.every(i => i.complete) && media.every(m => m.readyState >= 1 || m.error),
    images: images.filter(i => i.naturalWidth === 0).map(i => i.src),
    sheets: Array.from(document.querySelectorAll('link[rel~=stylesheet]'))
        .filter(l => own(l.href) && !l.disabled && !l.sheet).map(l => l.href),
    fonts: Array.from(document.fonts).filter(f => f.status === 'error').map(f => f.family),
    loadedFonts: Array.from(document.fonts).filter(f => f.status === 'loaded')
        .map(f => f.family.replace(/"/g, '')),
    media: media.filter(m => m.readyState < 1).map(m => m.currentSrc),
    marks: Object.assign({}, document.documentElement.dataset),
  };
})())
)JS";

// The page's own addresses whose files are there: a page may name files it
// does not have, and those fail as they always did.
QStringList present(const QJsonValue& urls) {
  QStringList out;
  for (const QJsonValue& u : urls.toArray()) {
    const QString path = pagescheme::pathOf(QUrl(u.toString()));
    if (!path.isEmpty() && QFileInfo(path).isFile()) out << u.toString();
  }
  return out;
}

QJsonObject look(WebBrowser* browser) {
  QJsonObject seen;
  driver::waitFor(
      [&] {
        seen = QJsonDocument::fromJson(
                   driver::js(browser, QString::fromLatin1(kLook)).toString().toUtf8())
                   .object();
        return seen.value("ready").toBool();
      },
      20000);
  return seen;
}

// The files a page of ours uses, in the folders such packs have.
void writeShop(const QString& dir) {
  const QDir d(dir);
  for (const char* sub : {"css", "js", "img", "fonts", "media"}) d.mkpath(sub);
  const auto put = [&](const char* name, const QByteArray& bytes) {
    testfiles::write(d.filePath(QString::fromLatin1(name)), bytes);
  };
  for (const auto& [name, color] : {std::pair{"img/a.png", Qt::red}, {"img/b.png", Qt::blue}}) {
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(color);
    image.save(d.filePath(QString::fromLatin1(name)));
  }
  QFile::copy(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"),
              d.filePath("fonts/own.ttf"));
  // Two seconds of silence, 8 kHz mono: plays in any engine build.
  QByteArray wav;
  const auto le = [&](quint32 v, int n) {
    for (int i = 0; i < n; ++i) wav += char((v >> (8 * i)) & 0xff);
  };
  wav += "RIFF", le(36 + 32000, 4), wav += "WAVEfmt ";
  le(16, 4), le(1, 2), le(1, 2), le(8000, 4), le(16000, 4), le(2, 2), le(16, 2);
  wav += "data", le(32000, 4), wav += QByteArray(32000, '\0');
  put("media/clip.wav", wav);
  put("css/site.css",
      "@font-face { font-family: OwnFont; src: url(../fonts/own.ttf); }\n"
      "body { font-family: OwnFont; color: rgb(1, 2, 3); }\n"
      ".slide { width: 8px; height: 6px; background: url(../img/a.png); }\n");
  put("js/classic.js", "document.documentElement.dataset.classic = 'ran';\n");
  put("js/util.mjs", "export const ran = 'ran';\n");
  put("js/app.mjs",
      "import { ran } from './util.mjs';\ndocument.documentElement.dataset.module = ran;\n");
  put("js/slider.js",
      "var shown = 0, pics = ['img/a.png', 'img/b.png'];\n"
      "setInterval(function () { shown = (shown + 1) % 2;\n"
      "  document.getElementById('slide').src = pics[shown];\n"
      "  if (shown) document.documentElement.dataset.slid = 'yes'; }, 100);\n");
  put("js/countdown.js",
      "var end = localStorage.getItem('end');\n"
      "if (!end) { end = String(Date.now() + 3600000); localStorage.setItem('end', end); }\n"
      "document.getElementById('left').textContent = Math.round((end - Date.now()) / 60000) + "
      "' min';\n"
      "document.documentElement.dataset.end = end;\n"
      "document.cookie = 'seen=1';\n"
      "document.documentElement.dataset.cookie = document.cookie;\n");
  put("frame.html",
      "<p>Framed</p><img src='img/a.png' onload=\"parent.postMessage("
      "'frame ' + this.naturalWidth, '*')\">");
  put("index.html",
      "<!DOCTYPE html><html><head><meta charset='utf-8'><title>Shop</title>"
      "<link rel='stylesheet' href='css/site.css'>"
      "<script src='js/classic.js'></script><script type='module' src='js/app.mjs'></script>"
      "</head><body><h1>Offer</h1><p>Ends in <span id='left'></span></p>"
      "<img id='slide' src='img/a.png'><div class='slide'></div>"
      "<video id='clip' src='media/clip.wav' preload='auto'></video>"
      "<iframe src='frame.html'></iframe>"
      "<script>addEventListener('message', function (e) {"
      " document.documentElement.dataset.frame = e.data; });</script>"
      "<script src='js/slider.js'></script><script src='js/countdown.js'></script>"
      "</body></html>");
}

}  // namespace

class OldPagesTest final : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    externalopener::setOpener([](const QUrl&) {});
  }

  void everyPageShowsItsFiles_data() {
    QTest::addColumn<QString>("page");
    for (const QString& page : testfiles::pages())
      QTest::newRow(qPrintable(testfiles::pageName(page))) << page;
  }
  // Viewing, then editing: the page's own files that are there all load.
  void everyPageShowsItsFiles() {
    QFETCH(QString, page);
    QV_SKIP_ABSENT_CORPUS(page);
    QTemporaryDir dir;
    const QString copy = testfiles::copyPage(page, dir.path());
    WebBrowser browser;
    browser.setSilent(true);
    browser.resize(800, 600);
    browser.show();
    QVERIFY(driver::load(&browser, copy));
    for (const char* mode : {"viewing", "editing"}) {
      if (QByteArray(mode) == "editing") {
        browser.setDesignMode(QStringLiteral("On"));
        QVERIFY(driver::waitFor([&] { return driver::designMode(&browser) == u"on"; }, 30000));
      }
      const QJsonObject seen = look(&browser);
      QVERIFY2(seen.value("ready").toBool(), mode);
      for (const char* what : {"images", "sheets", "media"})
        QVERIFY2(present(seen.value(what)).isEmpty(),
                 qPrintable(QStringLiteral("%1, %2 not shown: %3")
                                .arg(mode, what, present(seen.value(what)).join(", "))));
      QVERIFY2(
          seen.value("fonts").toArray().isEmpty(),
          qPrintable(QStringLiteral("%1, fonts failed: %2")
                         .arg(mode, QString::fromUtf8(QJsonDocument(seen.value("fonts").toArray())
                                                          .toJson(QJsonDocument::Compact)))));
    }
  }

  // A page with each thing old packs use: all of it works when viewed, the
  // countdown keeps its end across a reload, and editing still shows the
  // page's font, images and media.
  void aShopPageWorksAsBefore() {
    QTemporaryDir dir;
    writeShop(dir.path());
    const QString page = QDir(dir.path()).filePath("index.html");
    WebBrowser browser;
    browser.setSilent(true);
    browser.resize(800, 600);
    browser.show();
    QString end;
    for (int visit = 0; visit < 2; ++visit) {
      QVERIFY(driver::load(&browser, page));
      QJsonObject marks;
      QVERIFY(driver::waitFor([&] {
        marks = look(&browser).value("marks").toObject();
        return marks.contains("module") && marks.contains("frame") && marks.contains("slid");
      }));
      QCOMPARE(marks.value("classic").toString(), "ran");
      QCOMPARE(marks.value("module").toString(), "ran");
      QCOMPARE(marks.value("frame").toString(), "frame 8");
      QVERIFY(!marks.value("end").toString().isEmpty());
      if (visit == 0) end = marks.value("end").toString();
      QCOMPARE(marks.value("end").toString(), end);
      qInfo() << "cookie as the page sees it:" << marks.value("cookie").toString();
    }
    browser.setDesignMode(QStringLiteral("On"));
    QVERIFY(driver::waitFor([&] { return driver::designMode(&browser) == u"on"; }, 30000));
    const QJsonObject seen = look(&browser);
    QVERIFY(seen.value("ready").toBool());
    QCOMPARE(seen.value("images").toArray().size(), 0);
    QCOMPARE(seen.value("media").toArray().size(), 0);
    QVERIFY(seen.value("loadedFonts").toArray().contains(QJsonValue("OwnFont")));
    QCOMPARE(driver::js(&browser, "getComputedStyle(document.body).color").toString(),
             "rgb(1, 2, 3)");
    QCOMPARE(driver::js(&browser, "document.querySelector('video').duration").toDouble(), 2.0);
  }
};

QV_TEST_MAIN(OldPagesTest)
#include "old_pages_test.moc"
