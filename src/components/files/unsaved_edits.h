#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "files/status.h"

// The unsaved edits of pages being edited, kept in the user's own data folder
// (owner-only, never beside the page) so a crash, a power cut or a kill does
// not lose them. Each page has two files: what the edit began from, written
// once, and the document as it is now, written again while the user types.
// Both are written whole or not at all. They go when the edits are saved or
// discarded; what is left at the next start was never settled.
namespace unsavededits {

// What an edit began from: the file's bytes as read, and the engine's markup
// and charset of them, so a recovered edit is saved as only what was changed.
struct Base final {
  QString page;
  QByteArray fileBytes;
  QString markupBefore;
  QString charset;
};

// An edit left unsettled: what it began from and the document it came to.
struct Kept final {
  Base base;
  QString markupNow;
};

// The folder that holds them. Empty (the default): nothing is kept, so a
// program or test that never chose a folder leaves no trace.
void setRoot(const QString& folder);
QString root();
// Where the program keeps them: the user's application data folder.
QString standardRoot();

[[nodiscard]] Status keepBase(const Base& base);
[[nodiscard]] Status keepMarkup(const QString& page, const QString& markupNow);
// The page's kept edit goes (saved or discarded).
void drop(const QString& page);

// Every edit kept with both its parts, oldest first. Unreadable or foreign
// files are passed over, never trusted.
std::vector<Kept> pending();

// The bytes of the two parts (for tests and the reader).
QByteArray encodeBase(const Base& base);
QByteArray encodeMarkup(const QString& page, const QString& markupNow);

}  // namespace unsavededits
