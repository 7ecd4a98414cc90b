#include "help/save_switch.h"

#include <QFile>

#include "components/paths.h"
#include "components/v_file.h"
#include "components/v_tools.h"

namespace saveswitch {

QString path() { return paths::besideExecutable(QStringLiteral("save.alt")); }

bool isOn() { return vTools::Exists(path(), false); }

Status turnOn(const TextBuffer& content, const QString& file) {
  Status saved = vFile::SaveText(content, file);
  if (!saved && vTools::Exists(file, false)) return Status::success();
  return saved;
}

Status turnOff(const QString& file) {
  if (!vTools::Exists(file, false)) return Status::success();
  QFile switchFile(file);
  if (!switchFile.remove()) return Status::failure(switchFile.errorString());
  return Status::success();
}

}  // namespace saveswitch
