#include "widgets/tips.h"

#include <QWidget>

namespace tips {

void set(QWidget* window, std::initializer_list<Tip> tips) {
  for (const Tip& t : tips) {
    const QString name = QString::fromLatin1(t.name);
    QList<QWidget*> found = window->findChildren<QWidget*>(name);
    if (window->objectName() == name) found << window;
    // A name not found is a typing slip in the table; the window test finds it
    // as a control without a tooltip.
    for (QWidget* w : found)
      if (w->toolTip().isEmpty()) w->setToolTip(QString::fromUtf8(t.text));
  }
}

}  // namespace tips
