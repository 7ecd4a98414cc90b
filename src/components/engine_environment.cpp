#include "components/engine_environment.h"

#include <QCoreApplication>
#include <QtGlobal>

#include "components/web_proxy.h"
#include "components/page_scheme.h"
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

void prepareEngineEnvironment() {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  pagescheme::registerScheme();
#ifdef Q_OS_UNIX
  // Chromium will not start as root with its sandbox on.
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
}

void routeEngineThroughProxy() { WebProxy::instance(); }
