#include <QApplication>

#include "app/main_window.h"
#include "components/engine_environment.h"

int main(int argc, char* argv[]) {
  prepareEngineEnvironment();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvane"));
  Form2 window;
  window.show();
  return app.exec();
}
