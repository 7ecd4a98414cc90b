#include "widgets/v_frame.h"

#include "widgets/twips.h"

vFrame::vFrame(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::StyledPanel);
  applyGeometry();
}

void vFrame::setExpanded(bool open) {
  expanded_ = open;
  setHeight(open ? expandedValue_ : kClosedHeight);
}

void vFrame::setExpandedvalue(int twips) {
  expandedValue_ = twips;
  if (expanded_) setHeight(twips);
}

void vFrame::setTop(int twips) {
  top_ = twips;
  applyGeometry();
}

void vFrame::setLeft(int twips) {
  left_ = twips;
  applyGeometry();
}

void vFrame::setWidth(int twips) {
  width_ = twips;
  applyGeometry();
}

void vFrame::setHeight(int twips) {
  height_ = twips;
  applyGeometry();
}

void vFrame::applyGeometry() { twips::place(this, left_, top_, width_, height_); }
