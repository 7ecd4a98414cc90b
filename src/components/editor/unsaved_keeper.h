#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include "files/unsaved_edits.h"

class QThreadPool;
class QTimer;
class QWebEnginePage;

// Keeps the document of the edit under way on disk (see files/unsaved_edits.h),
// at most kMostAge old, so a crash loses no more than that. The document is
// read only when it changed, and written on a thread of its own in the order
// asked, so typing never waits for the disk.
class UnsavedKeeper final : public QObject {
  Q_OBJECT
 public:
  static constexpr int kMostAgeMs = 2000;

  explicit UnsavedKeeper(QObject* parent = nullptr);
  ~UnsavedKeeper() override;

  // The edit of page's document began from base (or was saved, and goes on
  // from it): the document is kept from now on, as it changes.
  void start(QWebEnginePage* page, const unsavededits::Base& base);
  // The edit ended: saved or discarded (its copy goes), or lost with its
  // renderer (keep: it stays for the next start to offer).
  void stop(bool keep = false);
  // Reads the document now if it changed (the timer does so on its own).
  void tick();

  // The longest the program's own thread spent on one keeping, and the
  // longest the page's renderer spent reading the document for one.
  double longestOwnMs() const { return longestOwnMs_; }
  double longestReadMs() const { return longestReadMs_; }

 signals:
  // A document was written (or failed to be: why is not empty).
  void kept(const QString& why);

 private:
  void enqueue(std::function<void()> work);
  void readAhead();
  // Brings markup_ to the document an answer of the page tells: the whole,
  // or a stretch of what was received before changed. False if it does not fit.
  bool takeRead(const QVariantMap& read);

  QPointer<QWebEnginePage> page_;
  QString path_;
  QString markup_;  // the document as last received
  QTimer* timer_ = nullptr;
  QThreadPool* writer_ = nullptr;
  int generation_ = 0;
  int count_ = -1;
  bool reading_ = false;
  bool readingAhead_ = false;
  double longestOwnMs_ = 0;
  double longestReadMs_ = 0;
};
