#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

// A small web server on 127.0.0.1 for tests and benchmarks of web address
// checks: each path answers as it is told (a status, after a delay, or never),
// and a HEAD can be refused on its own.
class WebTestServer final : public QObject {
  Q_OBJECT
 public:
  struct Answer final {
    int status = 200;
    int delayMs = 0;
    bool silent = false;  // accepts and never answers
    int headStatus = 0;   // a different status for HEAD (405: refused)
  };

  explicit WebTestServer(QObject* parent = nullptr);
  bool start();
  quint16 port() const;
  QString url(const QString& path) const;  // http://127.0.0.1:port/path

  void answer(const QString& path, Answer answer) { answers_.insert(path, answer); }
  // What every path not told otherwise answers.
  void answerOthers(Answer answer) { others_ = answer; }
  // Requests seen, as "METHOD /path"; the most connections open at once.
  QStringList seen;
  int mostOpen = 0;

 private:
  void serve(QTcpSocket* socket);

  QTcpServer* server_ = nullptr;
  QHash<QString, Answer> answers_;
  int open_ = 0;
  Answer others_;
};
