#pragma once

// Must run before QApplication is created: the browser engine needs shared GL
// contexts, learns the pages' own scheme only as it starts, and refuses to start as root unless its
// sandbox is turned off.
void prepareEngineEnvironment();

// Must run after QApplication is created and before the first page: the
// engine's web requests go through the program's proxy (components/web_proxy.h).
void routeEngineThroughProxy();
