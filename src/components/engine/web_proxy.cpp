#include "engine/web_proxy.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QNetworkProxy>
#include <QPointer>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include "engine/page_files.h"
#include "engine/page_scheme.h"

namespace {

constexpr qsizetype kHeadLimit = 64 * 1024;       // a request or response head longer is refused
constexpr qint64 kBufferLimit = 4 * 1024 * 1024;  // bytes held for a slow reader
constexpr int kPollMs = 250;
constexpr qint64 kShownAfterMs = 1000;
constexpr qint64 kFileChunk = 256 * 1024;  // bytes of a page's file read at a time

QByteArray errorAnswer(const char* status) {
  return QByteArray("HTTP/1.1 ") + status +
         "\r\nContent-Length: 0\r\nConnection: close\r\nProxy-Connection: close\r\n\r\n";
}

bool isHopHeader(const QByteArray& line) {
  const QByteArray name = line.left(line.indexOf(':')).trimmed().toLower();
  return name == "connection" || name == "proxy-connection" || name == "keep-alive" ||
         name == "proxy-authorization";
}

// A head with the hop-by-hop headers replaced by "Connection: close": each
// connection carries one request, so the engine never sends a request for
// another host down a connection made for the first.
QByteArray closingHead(const QByteArray& head, const QByteArray& firstLine) {
  QByteArray out = firstLine + "\r\n";
  const QList<QByteArray> lines = head.split('\n');
  for (qsizetype i = 1; i < lines.size(); ++i) {
    QByteArray line = lines[i];
    if (line.endsWith('\r')) line.chop(1);
    if (line.isEmpty() || isHopHeader(line)) continue;
    out += line + "\r\n";
  }
  return out + "Connection: close\r\n\r\n";
}

}  // namespace

// One connection from the engine: a CONNECT tunnel (https, wss) or one plain
// http request, relayed to the server under the time limits.
class ProxyConnection final : public QObject {
 public:
  ProxyConnection(WebProxy* proxy, QTcpSocket* client, QObject* parent)
      : QObject(parent), proxy_(proxy), client_(client) {
    client_->setParent(this);
    connectTimer_.setSingleShot(true);
    answerTimer_.setSingleShot(true);
    connect(&connectTimer_, &QTimer::timeout, this, [this] { fail("504 Gateway Timeout"); });
    connect(&answerTimer_, &QTimer::timeout, this, [this] {
      if (fromServer_ == 0)
        fail("504 Gateway Timeout");
      else
        finish();
    });
    connect(client_, &QTcpSocket::readyRead, this, &ProxyConnection::readClient);
    connect(client_, &QTcpSocket::bytesWritten, this, &ProxyConnection::readServer);
    connect(client_, &QTcpSocket::disconnected, this, &ProxyConnection::finish);
    waitClock_.start();
  }

  const QString& host() const { return host_; }
  // How long the request under way has waited for the server; -1 if none.
  qint64 waitedMs() const { return awaiting_ ? waitClock_.elapsed() : -1; }

 private:
  enum class Stage { Head, Connecting, Relaying, Serving, Done };

  // A page's file, from disk: sent as the engine takes it, never all at once.
  void serveFile(const pagefiles::Request& request) {
    pagefiles::Answer answer = pagefiles::answer(request);
    client_->write(answer.head + "Connection: close\r\nProxy-Connection: close\r\n\r\n");
    file_ = std::move(answer.body);
    fileLeft_ = file_ ? answer.length : 0;
    stage_ = Stage::Serving;
    sendFile();
  }

  void sendFile() {
    while (fileLeft_ > 0) {
      if (client_->bytesToWrite() >= kFileChunk) return;  // resumed by bytesWritten
      const QByteArray chunk = file_->read(std::min(fileLeft_, kFileChunk));
      // A file that shrank meanwhile: the engine sees a short answer.
      fileLeft_ = chunk.isEmpty() ? 0 : fileLeft_ - chunk.size();
      client_->write(chunk);
    }
    file_.reset();
    finish();
  }

  void readClient() {
    if (stage_ == Stage::Done) return;
    if (stage_ == Stage::Serving) {
      client_->readAll();  // one request a connection
      return;
    }
    if (stage_ == Stage::Relaying) {
      if (server_->bytesToWrite() > kBufferLimit) return;  // resumed by bytesWritten
      const QByteArray bytes = client_->readAll();
      if (!bytes.isEmpty()) toServer(bytes);
      return;
    }
    if (stage_ == Stage::Connecting) {
      pending_ += client_->readAll();
      return;
    }
    head_ += client_->readAll();
    const qsizetype end = head_.indexOf("\r\n\r\n");
    if (end < 0) {
      if (head_.size() > kHeadLimit) fail("431 Request Header Fields Too Large");
      return;
    }
    const QByteArray head = head_.left(end + 2);
    pending_ = head_.mid(end + 4);
    head_.clear();
    const QList<QByteArray> request = head.left(head.indexOf("\r\n")).split(' ');
    if (request.size() != 3) {
      fail("400 Bad Request");
      return;
    }
    const QByteArray& method = request[0];
    const QByteArray& target = request[1];
    if (method == "CONNECT") {
      const QUrl url(QStringLiteral("//") + QString::fromLatin1(target));
      tunnel_ = true;
      start(url.host(), url.port(443));
      return;
    }
    // Only an absolute address is a proxy request: anything else reached this
    // port by mistake, or from a page trying to use it as a server.
    const QUrl url(QString::fromLatin1(target));
    if (url.scheme() != u"http" || url.host().isEmpty()) {
      fail("400 Bad Request");
      return;
    }
    if (pagescheme::isFileUrl(url)) {
      serveFile(pagefiles::Request{method, url, pagefiles::headerValue(head, "Origin"),
                                   pagefiles::headerValue(head, "Range"),
                                   pagefiles::headerValue(head, pagefiles::kLoadHeader)});
      return;
    }
    const QByteArray path = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority);
    pending_.prepend(
        closingHead(head, method + ' ' + (path.isEmpty() ? "/" : path) + ' ' + request[2]));
    start(url.host(), url.port(80));
  }

  void start(const QString& host, int port) {
    if (host.isEmpty() || port <= 0 || port > 65535) {
      fail("400 Bad Request");
      return;
    }
    host_ = host;
    stage_ = Stage::Connecting;
    awaiting_ = true;
    waitClock_.start();
    const auto target = proxy_->resolve(host, quint16(port));
    server_ = new QTcpSocket(this);
    // The program's own sockets never go through a proxy, this one least.
    server_->setProxy(QNetworkProxy::NoProxy);
    connect(server_, &QTcpSocket::connected, this, &ProxyConnection::serverConnected);
    connect(server_, &QTcpSocket::readyRead, this, &ProxyConnection::readServer);
    connect(server_, &QTcpSocket::bytesWritten, this, &ProxyConnection::readClient);
    connect(server_, &QTcpSocket::disconnected, this, &ProxyConnection::serverClosed);
    connect(server_, &QTcpSocket::errorOccurred, this, [this] {
      // The reason says which: the program's own link check tells the user.
      if (stage_ == Stage::Connecting)
        fail(server_->error() == QAbstractSocket::HostNotFoundError ? "502 No Such Host"
                                                                    : "502 Bad Gateway");
    });
    connectTimer_.start(proxy_->limits().connectMs);
    server_->connectToHost(target.address, target.port);
  }

  void serverConnected() {
    connectTimer_.stop();
    stage_ = Stage::Relaying;
    awaiting_ = false;
    if (tunnel_) client_->write("HTTP/1.1 200 Connection Established\r\n\r\n");
    if (!pending_.isEmpty()) toServer(std::exchange(pending_, {}));
    readClient();
  }

  void toServer(const QByteArray& bytes) {
    server_->write(bytes);
    // The server owes an answer from now; its silence is timed from the
    // first unanswered bytes, not reset by more of the same request.
    if (!awaiting_) {
      awaiting_ = true;
      waitClock_.start();
      answerTimer_.start(proxy_->limits().answerMs);
    }
  }

  void readServer() {
    if (stage_ == Stage::Serving) {
      sendFile();
      return;
    }
    if (stage_ != Stage::Relaying || !server_) return;
    if (client_->bytesToWrite() > kBufferLimit) return;  // resumed by bytesWritten
    QByteArray bytes = server_->readAll();
    if (bytes.isEmpty()) return;
    awaiting_ = false;
    answerTimer_.stop();
    fromServer_ += bytes.size();
    if (!tunnel_ && !answerHeadDone_) {
      answerHead_ += bytes;
      const qsizetype end = answerHead_.indexOf("\r\n\r\n");
      if (end < 0 && answerHead_.size() <= kHeadLimit) return;
      answerHeadDone_ = true;
      if (end < 0) {
        bytes = std::exchange(answerHead_, {});
      } else {
        const QByteArray head = answerHead_.left(end + 2);
        bytes = closingHead(head, head.left(head.indexOf("\r\n"))) + answerHead_.mid(end + 4);
        answerHead_.clear();
      }
    }
    client_->write(bytes);
  }

  void serverClosed() {
    if (stage_ == Stage::Connecting) {
      fail("502 Bad Gateway");
      return;
    }
    readServer();
    if (!answerHead_.isEmpty()) client_->write(std::exchange(answerHead_, {}));
    finish();
  }

  // Answers the engine at once rather than leaving it to wait.
  void fail(const char* status) {
    if (stage_ == Stage::Done) return;
    if (!tunnel_ || stage_ != Stage::Relaying) {
      if (fromServer_ == 0) client_->write(errorAnswer(status));
    }
    finish();
  }

  void finish() {
    if (stage_ == Stage::Done) return;
    stage_ = Stage::Done;
    awaiting_ = false;
    connectTimer_.stop();
    answerTimer_.stop();
    if (server_) server_->abort();
    // Whatever the engine was sent still reaches it before the close: the
    // socket goes once it is closed, not before.
    client_->disconnectFromHost();
    if (client_->state() == QAbstractSocket::UnconnectedState) {
      deleteLater();
    } else {
      connect(client_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
      QTimer::singleShot(10000, this, &QObject::deleteLater);
    }
  }

  WebProxy* proxy_;
  QTcpSocket* client_;
  QTcpSocket* server_ = nullptr;
  Stage stage_ = Stage::Head;
  bool tunnel_ = false;
  QString host_;
  QByteArray head_;
  QByteArray pending_;
  QByteArray answerHead_;
  bool answerHeadDone_ = false;
  qint64 fromServer_ = 0;
  std::unique_ptr<QFile> file_;
  qint64 fileLeft_ = 0;
  bool awaiting_ = false;
  QElapsedTimer waitClock_;
  QTimer connectTimer_{this};
  QTimer answerTimer_{this};
};

// Lives in the proxy's thread: the listening socket, the connections, and a
// look every quarter second at which of them wait.
class ProxyHub final : public QObject {
 public:
  explicit ProxyHub(WebProxy* proxy) : proxy_(proxy) {}

  quint16 listen() {
    server_ = new QTcpServer(this);
    server_->setProxy(QNetworkProxy::NoProxy);
    if (!server_->listen(QHostAddress::LocalHost, 0)) return 0;
    connect(server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = server_->nextPendingConnection()) {
        auto* connection = new ProxyConnection(proxy_, socket, this);
        connections_.insert(connection);
        connect(connection, &QObject::destroyed, this,
                [this, connection] { connections_.remove(connection); });
      }
    });
    connect(&poll_, &QTimer::timeout, this, &ProxyHub::look);
    poll_.start(kPollMs);
    return server_->serverPort();
  }

  void look() {
    QHash<QString, int> now;
    for (const ProxyConnection* c : std::as_const(connections_))
      if (c->waitedMs() > kShownAfterMs) ++now[c->host()];
    if (now != last_) {
      last_ = now;
      QMetaObject::invokeMethod(proxy_, [proxy = QPointer<WebProxy>(proxy_), now] {
        if (proxy) proxy->report(now);
      });
    }
  }

 private:
  WebProxy* proxy_;
  QTcpServer* server_ = nullptr;
  QSet<const ProxyConnection*> connections_;
  QHash<QString, int> last_;
  QTimer poll_{this};
};

WebProxy::WebProxy(QObject* parent) : QObject(parent) {}

WebProxy::~WebProxy() {
  if (thread_) {
    // The hub goes in its own thread as that thread finishes (see start()).
    thread_->quit();
    thread_->wait();
  }
}

bool WebProxy::start() {
  if (port_) return true;
  thread_ = new QThread(this);
  auto* hub = new ProxyHub(this);
  hub_ = hub;
  hub->moveToThread(thread_);
  // Deleted by the finishing thread itself: while the application is being
  // torn down, events (a deleteLater, a queued call) are no longer delivered.
  connect(
      thread_, &QThread::finished, hub, [hub] { delete hub; }, Qt::DirectConnection);
  thread_->start();
  quint16 port = 0;
  QMetaObject::invokeMethod(
      hub, [hub, &port] { port = hub->listen(); }, Qt::BlockingQueuedConnection);
  port_ = port;
  return port_ != 0;
}

void WebProxy::setLimits(Limits limits) {
  QMutexLocker lock(&mutex_);
  limits_ = limits;
}

WebProxy::Limits WebProxy::limits() const {
  QMutexLocker lock(&mutex_);
  return limits_;
}

void WebProxy::mapHost(const QString& name, const QString& address, quint16 port) {
  QMutexLocker lock(&mutex_);
  hostMap_.insert(name.toLower(), Target{address, port});
}

WebProxy::Target WebProxy::resolve(const QString& host, quint16 port) const {
  QMutexLocker lock(&mutex_);
  return hostMap_.value(host.toLower(), Target{host, port});
}

QHash<QString, int> WebProxy::waiting() const {
  QMutexLocker lock(&mutex_);
  return waiting_;
}

void WebProxy::report(const QHash<QString, int>& now) {
  {
    QMutexLocker lock(&mutex_);
    waiting_ = now;
  }
  emit waitingChanged();
}

WebProxy* WebProxy::instance() {
  static WebProxy* proxy = [] {
    auto* p = new WebProxy(QCoreApplication::instance());
    if (!p->start()) return p;
    // Chromium takes its proxy from its command line; Qt's own sockets (and
    // with them every other part of the program) stay direct.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    flags += " --proxy-server=http://127.0.0.1:" + QByteArray::number(p->port());
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    return p;
  }();
  return proxy;
}

QString waitingText(const QHash<QString, int>& waiting) {
  if (waiting.isEmpty()) return {};
  QStringList hosts = waiting.keys();
  hosts.sort();
  int files = 0;
  for (const int n : waiting) files += n;
  const QString count =
      files == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(files);
  const QString from =
      hosts.size() == 1 ? hosts.first()
                        : QStringLiteral("%1 and %2 more").arg(hosts.first()).arg(hosts.size() - 1);
  return QStringLiteral("Waiting for %1 from %2…").arg(count, from);
}
