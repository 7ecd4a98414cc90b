#include "help/save_switch.h"

#include "components/paths.h"
#include "components/v_tools.h"

namespace saveswitch {

QString path() { return paths::besideExecutable(QStringLiteral("save.alt")); }

bool isOn() { return vTools::Exists(path(), false); }

}  // namespace saveswitch
