#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// Turning the engine's copy of an edited page back into the bytes of its file.
// The engine serialises only the root element, normalises the doctype and
// knows nothing of the file's bytes, so what it cannot give is taken from the
// file the document was loaded from.
namespace pagetext {

// What the file a document came from says about how the page is written.
struct FileTraits final {
  QByteArray prologue;      // raw bytes before the root element: XML declaration, doctype, comments
  bool bom = false;         // starts with a UTF-8 byte order mark
  bool plainAscii = false;  // ASCII only and no charset declared: stays ASCII (&#N; for the rest)
  bool crlf = false;        // lines end in CR LF
};

FileTraits traitsOf(QByteArrayView fileBytes);

// The bytes before the root element's start tag (byte order mark excluded):
// whitespace, comments, the doctype, processing instructions.
QByteArray prologueOf(QByteArrayView fileBytes);

// text in the charset the engine read the page in (its name as
// document.characterSet gives it); a character the charset cannot hold is
// written as &#N;. Empty when the charset cannot be written.
std::optional<QByteArray> encodeIn(const QString& text, const QString& charset);

// The file's new content: its own prologue, then the root element's markup
// with the file's line endings, in the document's charset.
std::optional<QByteArray> savedBytes(const FileTraits& file, const QString& markup,
                                     const QString& charset);

}  // namespace pagetext
