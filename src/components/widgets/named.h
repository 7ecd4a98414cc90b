#pragma once

#include <QString>

// Builds a control with its classic name as its objectName, so that tests
// and readers find it by that name: named(new QPushButton(...), "cmdUpdate").
template <typename W>
W* named(W* widget, const QString& name) {
  widget->setObjectName(name);
  return widget;
}

template <typename W>
W* named(W* widget, const char* name) {
  return named(widget, QString::fromLatin1(name));
}
