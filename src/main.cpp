#include <QApplication>
#include <QIcon>

#include "app/main_window.h"
#include "engine/engine_environment.h"
#include "files/page_history.h"
#include "files/unsaved_edits.h"
#include "tools/snippet_store.h"

int main(int argc, char* argv[]) {
  prepareEngineEnvironment();
  QApplication app(argc, argv);
  routeEngineThroughProxy();
  QApplication::setApplicationName(QStringLiteral("Quorvane"));
  // Installed, the desktop finds the launcher and icon by these names.
  // Every page write keeps what it replaces in the user's own data folder.
  history::setRoot(history::standardRoot());
  // The user's own codes (My Code) are kept there too.
  snippetstore::setFile(snippetstore::standardFile());
  // Edits not yet saved are kept there too, against a crash.
  unsavededits::setRoot(unsavededits::standardRoot());
  QGuiApplication::setDesktopFileName(QStringLiteral("quorvane"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("quorvane")));
  Form2 window;
  window.show();
  return app.exec();
}
