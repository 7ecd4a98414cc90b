#include "help/components.h"

namespace components {

QList<Component> all() {
  return {
      {QStringLiteral("Qt 6 (Core, GUI, Widgets, Network)"), QStringLiteral("windows and controls"),
       QStringLiteral("LGPL-3 or GPL-2")},
      {QStringLiteral("Qt WebEngine"), QStringLiteral("the preview and the page editor"),
       QStringLiteral("LGPL-3 or GPL-2")},
      {QStringLiteral("Chromium (inside Qt WebEngine)"), QStringLiteral("the browser engine"),
       QStringLiteral("BSD-3-clause and others")},
      {QStringLiteral("QScintilla"), QStringLiteral("the code view"), QStringLiteral("GPL-3")},
      {QStringLiteral("libcurl"), QStringLiteral("publishing by SFTP, FTPS and FTP"),
       QStringLiteral("curl")},
      {QStringLiteral("QtKeychain"), QStringLiteral("passwords kept in the desktop's keyring"),
       QStringLiteral("BSD-2-clause")},
      {QStringLiteral("libarchive"), QStringLiteral("unpacking zip, 7z and tar archives"),
       QStringLiteral("BSD-2-clause")},
      {QStringLiteral("dtl"), QStringLiteral("the differences in Page History"),
       QStringLiteral("BSD-3-clause")},
      {QStringLiteral("Hunspell dictionary en_US (SCOWL)"), QStringLiteral("spelling"),
       QStringLiteral("SCOWL")},
  };
}

}  // namespace components
