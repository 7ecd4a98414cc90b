#include <QApplication>
#include <QIcon>

#include "app/main_window.h"
#include "components/engine_environment.h"

int main(int argc, char* argv[]) {
  prepareEngineEnvironment();
  QApplication app(argc, argv);
  routeEngineThroughProxy();
  QApplication::setApplicationName(QStringLiteral("Quorvane"));
  // Installed, the desktop finds the launcher and icon by these names.
  QGuiApplication::setDesktopFileName(QStringLiteral("quorvane"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("quorvane")));
  Form2 window;
  window.show();
  return app.exec();
}
