#pragma once

// Must run before QApplication is created: the browser engine needs shared GL
// contexts, learns the pages' own scheme only as it starts, and refuses to start as root unless its
// sandbox is turned off.
void prepareEngineEnvironment();
