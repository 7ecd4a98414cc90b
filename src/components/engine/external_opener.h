#pragma once

#include <functional>

class QUrl;

// Where pages leave the program: a web link the user clicked, or the shown
// page at Ctrl+N, opens in the system's default browser. Tests install an
// opener of their own to see what would have opened.
namespace externalopener {

using UrlOpener = std::function<void(const QUrl&)>;

// The addresses the user's browser may be given: the web and mail. A
// stranger's link to a program, a phone dialler or a local file is not run.
bool opensOutside(const QUrl& url);

// An empty opener restores the system's default browser.
void setOpener(UrlOpener opener);
void open(const QUrl& url);

}  // namespace externalopener
