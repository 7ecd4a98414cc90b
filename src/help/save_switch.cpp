#include "help/save_switch.h"

#include <QFile>
#include <QFileInfo>

#include "files/history_action.h"
#include "files/paths.h"
#include "files/v_file.h"
#include "files/v_tools.h"

namespace saveswitch {

QString path() { return paths::besideExecutable(QStringLiteral("save.alt")); }

bool isOn() { return vTools::Exists(path(), false); }

namespace {

// The usual cause, in the user's words: a program installed for all users
// sits in a folder only an administrator may change.
Status explained(const QString& file, Status failure) {
  if (!QFileInfo(QFileInfo(file).absolutePath()).isWritable())
    return Status::failure(QStringLiteral(
        "the program's folder is read-only (only an administrator can change this switch)"));
  return failure;
}

}  // namespace

Status turnOn(const TextBuffer& content, const QString& file) {
  // The switch is the program's own file, not a page: it keeps no history.
  const history::Unrecorded notAPage;
  Status saved = vFile::SaveText(content, file);
  if (saved || vTools::Exists(file, false)) return Status::success();
  return explained(file, std::move(saved));
}

Status turnOff(const QString& file) {
  if (!vTools::Exists(file, false)) return Status::success();
  QFile switchFile(file);
  if (!switchFile.remove()) return explained(file, Status::failure(switchFile.errorString()));
  return Status::success();
}

}  // namespace saveswitch
