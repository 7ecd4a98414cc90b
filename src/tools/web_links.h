#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Asks web addresses whether they answer: a HEAD request, then a GET when
// the server refuses HEAD, a few addresses at a time, each request within a
// time limit. Requests go through the program's own proxy, so a server that
// accepts a connection and never answers is given up as the preview gives
// it up. A GET stops once the answer's head is in: nothing is downloaded.
struct WebLinkLimits final {
  int parallel = 8;
  int timeoutMs = 10000;  // per request
};

class WebLinkCheck final : public QObject {
  Q_OBJECT
 public:
  explicit WebLinkCheck(QObject* parent = nullptr, WebLinkLimits limits = {});
  ~WebLinkCheck() override;

  void start(const QStringList& addresses);
  // Stops at once: every request is dropped and nothing more is reported.
  void cancel();
  bool running() const { return running_; }

 signals:
  // why names what went wrong ("404 Not Found", "no such host", "no answer
  // within 10 seconds"); empty when the address answered.
  void answered(int index, bool ok, const QString& why);
  void progress(int done, int total);
  void finished();

 private:
  struct Request final {
    int index = 0;
    bool get = false;
    int status = 0;
    QString reason;
    bool timedOut = false;
    QPointer<QNetworkReply> reply;
    QTimer* timer = nullptr;
  };
  void startNext();
  void send(Request* r);
  void done(Request* r);

  WebLinkLimits limits_;
  QNetworkAccessManager* nam_ = nullptr;
  QStringList addresses_;
  int next_ = 0;
  int answered_ = 0;
  bool running_ = false;
  QList<Request*> inFlight_;
};
