#pragma once

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

class QTcpServer;
class QThread;
class ProxyConnection;
class ProxyHub;

// The engine's way to the web. Chromium has no time limit of its own for a
// request: a server that accepts the connection and never answers holds a
// render-blocking stylesheet, and so the whole page, for minutes. Every web
// request of the engine goes through this small HTTP proxy on the loopback
// address, which gives up a connection that cannot be made, or a request that
// gets no answer, within a few seconds. It relays bytes between the engine
// and web servers, and answers the one kind of address that never goes to
// the network: a page folder's file host (page_files.h), from that folder.
class WebProxy final : public QObject {
  Q_OBJECT
 public:
  struct Limits {
    int connectMs = 3000;  // name lookup and TCP connection
    int answerMs = 3000;   // silence of the server while a request waits
  };

  explicit WebProxy(QObject* parent = nullptr);
  ~WebProxy() override;

  // Listens on a free loopback port, served by a thread of its own so that a
  // busy window never holds the engine's requests. False when no port is free.
  bool start();
  quint16 port() const { return port_; }

  void setLimits(Limits limits);
  Limits limits() const;

  // Tests: a host name the proxy connects to another address instead. The
  // engine never sends loopback addresses through a proxy, so a test's local
  // server is reached under a made-up name.
  void mapHost(const QString& name, const QString& address, quint16 port);

  // Hosts with a request unanswered for over a second, and how many each.
  QHash<QString, int> waiting() const;

  // The program's proxy: started on first use, and made the engine's
  // (through Qt's application proxy) before any page is created.
  static WebProxy* instance();

 signals:
  // The set returned by waiting() changed; emitted in the owner's thread.
  void waitingChanged();

 private:
  friend class ProxyConnection;
  friend class ProxyHub;
  struct Target {
    QString address;
    quint16 port = 0;
  };
  Target resolve(const QString& host, quint16 port) const;
  void report(const QHash<QString, int>& now);

  QThread* thread_ = nullptr;
  ProxyHub* hub_ = nullptr;       // lives in thread_
  QTcpServer* server_ = nullptr;  // lives in thread_
  quint16 port_ = 0;
  mutable QMutex mutex_;
  Limits limits_;
  QHash<QString, Target> hostMap_;
  QHash<QString, int> waiting_;
};

// "Waiting for 2 files from cdn.example…", or empty when nothing waits.
QString waitingText(const QHash<QString, int>& waiting);
