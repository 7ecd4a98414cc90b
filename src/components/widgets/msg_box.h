#pragma once

#include <QString>
#include <functional>

class QWidget;

// Buttons, icons and answers of a message box, named as the program's messages
// describe them.
enum class MsgButtons { OkOnly, YesNo, SaveDiscard, SaveDiscardCancel, YesNoShow };
enum class MsgIcon { None, Information, Question, Warning, Critical };
enum class MsgAnswer { Ok, Yes, No, Save, Discard, Cancel, Show };

struct MsgBoxCall final {
  QString prompt;
  MsgButtons buttons = MsgButtons::OkOnly;
  MsgIcon icon = MsgIcon::None;
  QString title;
};

// Every user message goes through here: a modal QMessageBox, or the installed
// handler (tests answer messages this way and never block on a dialog).
MsgAnswer MsgBox(const QString& prompt, MsgButtons buttons, MsgIcon icon, const QString& title,
                 QWidget* parent = nullptr);

// The one form of every file failure, e.g. "Could not save sales.htm: the file
// is read-only." (title "File Error", critical icon). verb is "read" or "save".
void FileErrorMsg(const QString& verb, const QString& path, const QString& why,
                  QWidget* parent = nullptr);

using MsgBoxHandler = std::function<MsgAnswer(const MsgBoxCall&)>;
// Installs a handler in place of the dialog; an empty one restores the dialog.
void setMsgBoxHandler(MsgBoxHandler handler);
