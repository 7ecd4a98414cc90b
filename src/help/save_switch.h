#pragma once

#include <QString>

#include "files/status.h"
#include "text/text_buffer.h"

// The alternative-save switch: the file "save.alt" beside the program. Only
// its presence counts.
namespace saveswitch {

QString path();
bool isOn();

// Turning the switch on or off through the switch file at file; the window
// passes path(), tests a file of their own.
//
// On: content becomes the whole file (created or rewritten). A rewrite that
// fails while the file stays in place still leaves the switch on, as asked, so
// it is no failure.
[[nodiscard]] Status turnOn(const TextBuffer& content, const QString& file);
// Off: the file is deleted when it is one; anything else of that name (a
// folder, say) is not the switch and is left alone.
[[nodiscard]] Status turnOff(const QString& file);

}  // namespace saveswitch
