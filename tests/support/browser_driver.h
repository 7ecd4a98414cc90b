#pragma once

#include <QString>
#include <QVariant>
#include <functional>

class WebBrowser;

// Drives the real engine from tests: loads, scripts in the program's own
// world, caret placement and typing. Every wait is on an event, never a sleep.
namespace driver {

// Navigate2 and wait for DownloadComplete; false on time-out.
bool load(WebBrowser* browser, const QString& path, int timeoutMs = 30000);
// Waits for the next DownloadComplete (a load already asked for).
bool waitLoaded(WebBrowser* browser, int timeoutMs = 30000);

// Runs script in the program's world and returns its value.
QVariant js(WebBrowser* browser, const QString& script);
QString markup(WebBrowser* browser);
QString designMode(WebBrowser* browser);

// Polls cond on timer events until it holds; false on time-out.
bool waitFor(const std::function<bool()>& cond, int timeoutMs = 15000);

// Puts the caret at the end of the first element matching selector that
// shows text (else the first element with text of its own, else the body) and types text with key
// events (non-ASCII text through the editor's insertText command); waits until the markup shows it.
bool typeInto(WebBrowser* browser, const QString& selector, const QString& text);

}  // namespace driver
