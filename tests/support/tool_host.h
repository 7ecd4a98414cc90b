#pragma once

#include <QComboBox>
#include <QVBoxLayout>
#include <QWidget>

#include "editor/web_browser.h"

namespace tooltest {

// What a tool window is handed by the main window: an editable page list and
// a silent browser, shown together in host.
inline void buildHost(QWidget& host, QComboBox*& pageList, WebBrowser*& browser) {
  auto* layout = new QVBoxLayout(&host);
  pageList = new QComboBox(&host);
  pageList->setEditable(true);
  browser = new WebBrowser(&host);
  browser->setSilent(true);
  layout->addWidget(pageList);
  layout->addWidget(browser);
  host.resize(800, 600);
  host.show();
}

}  // namespace tooltest
