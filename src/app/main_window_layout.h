#pragma once

// Where the main window's resizable controls go for a given outer width, all
// in twips. Everything not listed keeps its designed place.
struct MainWindowMetrics final {
  int comboLeft = 405;
  int command5Width = 465;
  int command2Width = 2175;
  int command1Width = 3615;
  int lblHistoryWidth = 735;
  int lblPublishWidth = 735;
  int lblCheckWidth = 735;
  int lblMyCodeWidth = 900;
  int viewButtonWidth = 900;
};

struct MainWindowLayout final {
  int browserWidth = 0;
  int shortcutsWidth = 0;
  int comboWidth = 0;
  int command5Left = 0;
  int command2Left = 0;
  int command1Left = 0;
  int lblHelpLeft = 0;
  int cmdProLeft = 0;
  int lblHistoryLeft = 0;
  int lblPublishLeft = 0;
  int lblCheckLeft = 0;
  int lblMyCodeLeft = 0;
  int cmdViewPageLeft = 0;
  int cmdViewCodeLeft = 0;
  int cmdViewSplitLeft = 0;
};

// Widths follow the window less 1000 twips; the page list takes half the
// window; the buttons and the Help link follow it 100 twips apart; the Pro
// button stays 3500 short of the outer width. A window too narrow for that
// gets zero widths and lefts, never negative ones. The Publish link sits in
// the header band 100 twips left of the Pro button and the History link 100
// left of Publish, so both move with the button and stay inside the window;
// the Check link sits 100 left of History, My Code 100 left of Check, and
// the Page, Code and Split buttons left of My Code, 100 apart.
MainWindowLayout layoutForWidth(int outerWidth, const MainWindowMetrics& m = {});
