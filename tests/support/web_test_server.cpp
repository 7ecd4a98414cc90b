#include "support/web_test_server.h"

#include <QNetworkProxy>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

WebTestServer::WebTestServer(QObject* parent) : QObject(parent), server_(new QTcpServer(this)) {
  server_->setProxy(QNetworkProxy::NoProxy);
  connect(server_, &QTcpServer::newConnection, this, [this] {
    while (QTcpSocket* s = server_->nextPendingConnection()) {
      mostOpen = std::max(mostOpen, ++open_);
      connect(s, &QTcpSocket::readyRead, this, [this, s] { serve(s); });
      connect(s, &QTcpSocket::disconnected, this, [this, s] {
        --open_;
        s->deleteLater();
      });
    }
  });
}

bool WebTestServer::start() { return server_->listen(QHostAddress::LocalHost, 0); }

quint16 WebTestServer::port() const { return server_->serverPort(); }

QString WebTestServer::url(const QString& path) const {
  return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

void WebTestServer::serve(QTcpSocket* socket) {
  if (socket->property("served").toBool()) return;
  QByteArray head = socket->property("head").toByteArray() + socket->readAll();
  if (!head.contains("\r\n\r\n")) {
    socket->setProperty("head", head);
    return;
  }
  socket->setProperty("served", true);
  const QList<QByteArray> request = head.left(head.indexOf("\r\n")).split(' ');
  const QByteArray method = request.value(0);
  QString path = QString::fromLatin1(request.value(1));
  // Through a proxy the request names the whole address.
  if (path.startsWith(u"http")) path = path.mid(path.indexOf(u'/', 8));
  seen << QString::fromLatin1(method) + u' ' + path;
  const Answer a = answers_.value(path, others_);
  if (a.silent) return;
  const int status = method == "HEAD" && a.headStatus ? a.headStatus : a.status;
  const QByteArray body = "<html><body>test</body></html>";
  const QByteArray answer = "HTTP/1.1 " + QByteArray::number(status) + " Status " +
                            QByteArray::number(status) + "\r\nContent-Type: text/html\r\n" +
                            "Content-Length: " + QByteArray::number(body.size()) +
                            "\r\nConnection: close\r\n\r\n" + (method == "HEAD" ? "" : body);
  QPointer<QTcpSocket> s(socket);
  QTimer::singleShot(a.delayMs, this, [s, answer] {
    if (!s) return;
    s->write(answer);
    s->disconnectFromHost();
  });
}
