#pragma once

#include <QLabel>

class WebProxy;

// A quiet line at the foot of the preview while web files keep a page
// waiting: "Waiting for 2 files from cdn.example…". It goes when they arrive
// or are given up.
class WebWaitNote final : public QLabel {
  Q_OBJECT
 public:
  WebWaitNote(WebProxy* proxy, QWidget* over);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void update();
  void place();

  WebProxy* proxy_;
};
