#pragma once

#include <QLabel>

// A label that acts as a link or a header: it reports a left click.
class LinkLabel final : public QLabel {
  Q_OBJECT
 public:
  explicit LinkLabel(const QString& text = {}, QWidget* parent = nullptr) : QLabel(text, parent) {
    setCursor(Qt::PointingHandCursor);
  }

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};
