#include "tools/web_links.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include "engine/web_proxy.h"

namespace {

// Servers that refuse a HEAD (or answer it wrongly) are asked again with a
// GET; "not found" and "gone" are answers in their own right.
bool askAgainWithGet(int status, QNetworkReply::NetworkError error) {
  if (status == 0) return error == QNetworkReply::RemoteHostClosedError;
  return status == 400 || status == 403 || status == 405 || status == 406 || status == 500 ||
         status == 501;
}

QString whyNot(int status, const QString& reason, QNetworkReply::NetworkError error,
               const QString& errorText) {
  // The program's proxy names a host that does not exist this way.
  if (status == 502 && reason == u"No Such Host") return QStringLiteral("no such host");
  if (status >= 400) return QStringLiteral("%1 %2").arg(status).arg(reason).trimmed();
  switch (error) {
    case QNetworkReply::HostNotFoundError:
      return QStringLiteral("no such host");
    case QNetworkReply::ConnectionRefusedError:
      return QStringLiteral("the server refused the connection");
    case QNetworkReply::SslHandshakeFailedError:
      return QStringLiteral("its secure connection failed (%1)").arg(errorText);
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::UnknownProxyError:
    case QNetworkReply::ProtocolFailure:
    case QNetworkReply::UnknownNetworkError:
      // A secure address goes through the proxy as a tunnel, and a tunnel
      // that cannot be made says no more than that.
      return QStringLiteral("the server could not be reached (no such host, or no answer)");
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError:
      return QStringLiteral("it redirects in a way browsers refuse");
    default:
      return errorText;
  }
}

}  // namespace

WebLinkCheck::WebLinkCheck(QObject* parent, WebLinkLimits limits)
    : QObject(parent), limits_(limits), nam_(new QNetworkAccessManager(this)) {
  // The program's own way to the web, with its time limits for dead servers.
  if (const quint16 port = WebProxy::instance()->port())
    nam_->setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), port));
}

WebLinkCheck::~WebLinkCheck() { cancel(); }

void WebLinkCheck::start(const QStringList& addresses) {
  cancel();
  addresses_ = addresses;
  next_ = 0;
  answered_ = 0;
  running_ = true;
  emit progress(0, int(addresses_.size()));
  if (addresses_.isEmpty()) {
    running_ = false;
    emit finished();
    return;
  }
  for (int i = 0; i < limits_.parallel; ++i) startNext();
}

void WebLinkCheck::cancel() {
  running_ = false;
  const QList<Request*> requests = std::exchange(inFlight_, {});
  for (Request* r : requests) {
    if (r->reply) {
      r->reply->disconnect(this);
      r->reply->abort();
      r->reply->deleteLater();
    }
    delete r->timer;
    delete r;
  }
  next_ = int(addresses_.size());
}

void WebLinkCheck::startNext() {
  if (!running_ || next_ >= addresses_.size()) return;
  auto* r = new Request;
  r->index = next_++;
  r->timer = new QTimer(this);
  r->timer->setSingleShot(true);
  connect(r->timer, &QTimer::timeout, this, [r] {
    r->timedOut = true;
    if (r->reply) r->reply->abort();
  });
  inFlight_ << r;
  send(r);
}

void WebLinkCheck::send(Request* r) {
  QNetworkRequest request{QUrl(addresses_[r->index])};
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::NoLessSafeRedirectPolicy);
  // Some servers refuse what does not look like a browser.
  request.setHeader(QNetworkRequest::UserAgentHeader,
                    QStringLiteral("Mozilla/5.0 (X11; Linux x86_64) Quorvane link check"));
  r->status = 0;
  r->reason.clear();
  r->reply = r->get ? nam_->get(request) : nam_->head(request);
  r->timer->start(limits_.timeoutMs);
  QNetworkReply* reply = r->reply;
  connect(reply, &QNetworkReply::metaDataChanged, this, [r, reply] {
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) return;
    const int code = status.toInt();
    if (code >= 300 && code < 400) return;  // a redirect is followed
    r->status = code;
    r->reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    if (r->get) reply->abort();  // the head is the answer; the body is not needed
  });
  connect(reply, &QNetworkReply::finished, this, [this, r, reply] {
    reply->deleteLater();
    if (r->reply != reply) return;
    if (r->status == 0) {
      r->status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
      r->reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    }
    if (!r->get && !r->timedOut && askAgainWithGet(r->status, reply->error())) {
      r->get = true;
      send(r);
      return;
    }
    const bool ok = r->status >= 200 && r->status < 400;
    const QString why =
        ok            ? QString()
        : r->timedOut ? QStringLiteral("no answer within %1 s").arg(limits_.timeoutMs / 1000.0)
                      : whyNot(r->status, r->reason, reply->error(), reply->errorString());
    const int index = r->index;
    done(r);
    emit answered(index, ok, why);
    emit progress(answered_, int(addresses_.size()));
    if (!running_) return;  // cancelled by a receiver
    if (inFlight_.isEmpty() && next_ >= addresses_.size()) {
      running_ = false;
      emit finished();
      return;
    }
    startNext();
  });
}

void WebLinkCheck::done(Request* r) {
  inFlight_.removeOne(r);
  ++answered_;
  delete r->timer;
  delete r;
}
