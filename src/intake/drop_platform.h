#pragma once

#include <QtGlobal>

class QWidget;

// The two platform calls around shell drops that are not about reading a
// drop. Outside Windows the message filter does nothing.
namespace dropplatform {

constexpr quint32 kWmDropFiles = 0x0233;
constexpr quint32 kWmCopyGlobalData = 0x0049;
constexpr quint32 kWmCopyData = 0x004A;
constexpr quint32 kMsgFltAdd = 1;

// Turns file drops onto the window on or off.
void DragAcceptFiles(QWidget* window, bool accept);

// Lets a message reach the program from less privileged processes (a drop
// from the shell when the program runs elevated). The result is not used.
void ChangeWindowMessageFilter(quint32 message, quint32 flag);

}  // namespace dropplatform
