#pragma once

#include <QList>
#include <functional>

#include "tools/snippet_store.h"

class QComboBox;
class QWidget;

// My Code where code goes in: the list read for a window, and the drop-down
// that puts a chosen snippet's code into a code field.
namespace mycode {

// The list as kept. A damaged file is set aside and the user told where it
// went; a file that cannot be read is reported, and blocked says nothing may
// be written over it.
QList<Snippet> load(QWidget* parent, bool* blocked = nullptr);

// A drop-down of the snippets by name, showing "My Code…" until one is
// chosen; choosing one hands its code to chosen. It follows every change to
// the list.
QComboBox* chooser(QWidget* parent, const QString& name,
                   std::function<void(const QString& code)> chosen);

}  // namespace mycode
