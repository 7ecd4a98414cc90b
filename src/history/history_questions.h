#pragma once

#include <QString>

#include "files/page_history.h"

class QWidget;
class WebBrowser;

// The history's questions to the user, and the one-step undo.
namespace history {

// How a version is named in lists and questions: "2026-12-08 10:32:15  Insert Code  12.3 KB".
QString versionLabel(const Version& version);

// While installed, a page write whose history copy cannot be kept asks
// "Save without a history copy?" (parent: the window the question belongs to).
void askBeforeWritingWithoutCopy(QWidget* parent);
void stopAsking();

// Brings back the page's newest version after one question naming what it
// undoes; the browser then shows the page again.
void undoLastChange(const QString& page, WebBrowser* browser, QWidget* parent);

}  // namespace history
