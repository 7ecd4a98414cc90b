#include "engine/engine_environment.h"

#include <QCoreApplication>
#include <QtGlobal>

#include "engine/page_scheme.h"
#include "engine/web_proxy.h"
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
