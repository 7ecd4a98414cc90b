#pragma once

#include <initializer_list>

class QWidget;

// Tooltips for a window's controls, given by their names in one table at the
// end of building the window: {"cmdOk", "Add the pages listed (Enter)"}.
namespace tips {

struct Tip {
  const char* name;
  const char* text;
};

// Every control of window named so gets the text (a control array's
// elements each by their own name). A control that has a tooltip of its
// own keeps it.
void set(QWidget* window, std::initializer_list<Tip> tips);

}  // namespace tips
