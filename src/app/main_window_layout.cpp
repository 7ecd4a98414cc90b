#include "app/main_window_layout.h"

#include <algorithm>

MainWindowLayout layoutForWidth(int outerWidth, const MainWindowMetrics& m) {
  const int w = std::max(outerWidth, 0);
  MainWindowLayout l;
  l.browserWidth = std::max(w - 1000, 0);
  l.shortcutsWidth = std::max(w - 1000, 0);
  l.comboWidth = w / 2;
  l.command5Left = m.comboLeft + l.comboWidth + 100;
  l.command2Left = l.command5Left + m.command5Width + 100;
  l.command1Left = l.command2Left + m.command2Width + 100;
  l.lblHelpLeft = l.command1Left + m.command1Width + 100;
  l.cmdProLeft = std::max(w - 3500, 0);
  l.lblPublishLeft = std::max(l.cmdProLeft - 100 - m.lblPublishWidth, 0);
  l.lblHistoryLeft = std::max(l.lblPublishLeft - 100 - m.lblHistoryWidth, 0);
  l.lblCheckLeft = std::max(l.lblHistoryLeft - 100 - m.lblCheckWidth, 0);
  l.lblMyCodeLeft = std::max(l.lblCheckLeft - 100 - m.lblMyCodeWidth, 0);
  l.cmdViewSplitLeft = std::max(l.lblMyCodeLeft - 100 - m.viewButtonWidth, 0);
  l.cmdViewCodeLeft = std::max(l.cmdViewSplitLeft - 100 - m.viewButtonWidth, 0);
  l.cmdViewPageLeft = std::max(l.cmdViewCodeLeft - 100 - m.viewButtonWidth, 0);
  return l;
}
