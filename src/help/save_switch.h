#pragma once

#include <QString>

// The alternative-save switch: the file "save.alt" beside the program. Only
// its presence counts.
namespace saveswitch {

QString path();
bool isOn();

}  // namespace saveswitch
