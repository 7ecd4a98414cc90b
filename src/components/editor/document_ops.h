#pragma once

#include <QJsonArray>
#include <QString>
#include <QVariant>
#include <functional>

class QObject;
class WebBrowser;

// Link and picture edits in the document being edited, run in the program's
// own script world (resources/scripts/document_ops.js). Each is one step of the editor's undo
// (Ctrl+Z takes it back, Ctrl+Y brings it again) and changes only the nodes and attributes it is
// about, so a save changes only those bytes of the file.
//
// Operations (arguments in order; the element an edit is about is the one
// found by the last "at" or "caret"):
//   at(x, y)          what is under the point: {link, image, selection, lang}
//   caret()           the same for the caret or selection
//   setLink(href, text|null, newTab|null)   remove()   make(href, text, newTab)
//   links()           [{href, count, text}] in page order
//   show(href)        selects and scrolls to the first link going there
//   replace(old, new) every link going to old goes to new; the count
//   setImage(src, alt, width, height)  insertImage(src, alt, width, height)
//   insertHtml(html)  the markup put in at the caret, parsed inert
//   undo()  redo()    the editor's undo and redo, ours included
namespace documentops {

// Runs one operation in browser's document; values travel as JSON, never as
// code. done gets the result unless context is gone.
void run(WebBrowser* browser, const QString& operation, const QJsonArray& args, QObject* context,
         std::function<void(const QVariant&)> done = {});

}  // namespace documentops
