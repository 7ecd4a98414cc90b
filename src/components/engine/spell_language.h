#pragma once

#include <QString>
#include <QStringList>

// Which spelling dictionary a page is checked with.
namespace spelllanguage {

// The dictionary for a page whose root element says lang (may be empty),
// on a system whose language is system ("en_US", "de-DE"): the page's own
// when a dictionary has it (exactly, else by its first part: "en" finds
// "en-US"), else the system's the same way, else the first there is.
// available holds dictionary names as the engine knows them ("en-US").
// Empty when there is none at all.
QString pick(const QString& lang, const QString& system, const QStringList& available);

// The dictionaries in folder: the names of its .bdic files, sorted.
QStringList installed(const QString& folder);

// Where the engine looks for dictionaries: QTWEBENGINE_DICTIONARIES_PATH,
// else qtwebengine_dictionaries beside the program.
QString folder();

}  // namespace spelllanguage
