#pragma once

#include <QFrame>

// A collapsible panel: open it shows its whole content (expandedvalue high),
// closed only its header line (405 twips). The height follows at once, so a
// caller can restack panels right after setting expanded.
class vFrame final : public QFrame {
  Q_OBJECT
 public:
  static constexpr int kClosedHeight = 405;  // twips

  explicit vFrame(QWidget* parent = nullptr);

  bool expanded() const { return expanded_; }
  void setExpanded(bool open);

  int expandedvalue() const { return expandedValue_; }
  void setExpandedvalue(int twips);

  // Position and size in twips, relative to the parent.
  int Top() const { return top_; }
  void setTop(int twips);
  int Left() const { return left_; }
  void setLeft(int twips);
  int Width() const { return width_; }
  void setWidth(int twips);
  int Height() const { return height_; }
  void setHeight(int twips);

 private:
  void applyGeometry();

  bool expanded_ = true;
  int expandedValue_ = kClosedHeight;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = kClosedHeight;
};
