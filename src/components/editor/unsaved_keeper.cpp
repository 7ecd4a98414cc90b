#include "editor/unsaved_keeper.h"

#include <QElapsedTimer>
#include <QThreadPool>
#include <QTimer>
#include <QVariantMap>
#include <QWebEnginePage>

#include "engine/page_scripts.h"

UnsavedKeeper::UnsavedKeeper(QObject* parent)
    : QObject(parent), timer_(new QTimer(this)), writer_(new QThreadPool(this)) {
  // Half the most age: a change is read by the next tick and written soon after.
  timer_->setInterval(kMostAgeMs / 2);
  connect(timer_, &QTimer::timeout, this, &UnsavedKeeper::tick);
  // One writer: a drop never overtakes the write before it.
  writer_->setMaxThreadCount(1);
}

UnsavedKeeper::~UnsavedKeeper() { writer_->waitForDone(); }

void UnsavedKeeper::enqueue(std::function<void()> work) { writer_->start(std::move(work)); }

void UnsavedKeeper::start(QWebEnginePage* page, const unsavededits::Base& base) {
  ++generation_;
  page_ = page;
  path_ = base.page;
  // Count 0: the document as it became editable, which the base holds;
  // only a change is worth keeping.
  count_ = 0;
  markup_.clear();
  reading_ = false;
  enqueue([base] { (void)unsavededits::keepBase(base); });
  readAhead();
  // What changed before the base was kept is read at the first tick.
  timer_->start();
}

void UnsavedKeeper::readAhead() {
  readingAhead_ = true;
  const int generation = generation_;
  QPointer<UnsavedKeeper> self(this);
  // A slice a call: between two, the page answers the user.
  pagescripts::call(page_, QStringLiteral("prepareKeptMarkup"), {},
                    [self, generation](const QVariant& done) {
                      if (!self || self->generation_ != generation || !self->page_) return;
                      // Not a bool: a document without our scripts.
                      if (done.typeId() == QMetaType::Bool && !done.toBool())
                        self->readAhead();
                      else
                        self->readingAhead_ = false;
                    });
}

void UnsavedKeeper::stop(bool keep) {
  ++generation_;
  timer_->stop();
  page_.clear();
  reading_ = false;
  readingAhead_ = false;
  if (path_.isEmpty()) return;
  if (!keep) enqueue([path = path_] { unsavededits::drop(path); });
  path_.clear();
}

void UnsavedKeeper::tick() {
  // The first read waits for the read ahead, so that it is a small one.
  if (!page_ || reading_ || readingAhead_) return;
  reading_ = true;
  const int generation = generation_;
  QPointer<UnsavedKeeper> self(this);
  pagescripts::call(
      page_, QStringLiteral("editsSince"), {count_}, [self, generation](const QVariant& v) {
        if (!self || self->generation_ != generation) return;
        self->reading_ = false;
        const QVariantMap read = v.toMap();
        if (read.isEmpty()) return;
        QElapsedTimer own;
        own.start();
        self->count_ = read.value(QStringLiteral("count")).toInt();
        self->longestReadMs_ =
            std::max(self->longestReadMs_, read.value(QStringLiteral("ms")).toDouble());
        if (!self->takeRead(read)) {
          // Not a change to what was received before: the whole at the next tick.
          self->count_ = -1;
          return;
        }
        // The keeper outlives its writes (it waits for them), and
        // an answer posted to it after it went is dropped.
        UnsavedKeeper* keeper = self;
        self->enqueue([keeper, path = self->path_, markup = self->markup_] {
          const Status written = unsavededits::keepMarkup(path, markup);
          QMetaObject::invokeMethod(
              keeper, [keeper, why = written.why()] { emit keeper->kept(why); },
              Qt::QueuedConnection);
        });
        self->longestOwnMs_ = std::max(self->longestOwnMs_, own.nsecsElapsed() / 1e6);
      });
}

bool UnsavedKeeper::takeRead(const QVariantMap& read) {
  const auto whole = read.constFind(QStringLiteral("markup"));
  if (whole != read.constEnd()) {
    markup_ = whole->toString();
    return true;
  }
  const qsizetype base = read.value(QStringLiteral("base")).toLongLong();
  const qsizetype from = read.value(QStringLiteral("from")).toLongLong();
  const qsizetype to = read.value(QStringLiteral("to")).toLongLong();
  if (base != markup_.size() || from < 0 || from > to || to > base) return false;
  markup_.replace(from, to - from, read.value(QStringLiteral("text")).toString());
  return true;
}
