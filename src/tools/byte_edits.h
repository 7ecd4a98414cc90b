#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The page edits of the tool windows, made on the file's own bytes: bytes in,
// bytes out, and always the very bytes that decoding the page, making the text
// edit (tagreplace, pageedits) and encoding it back would give. The strings
// searched for are ASCII, which in UTF-8 or a single-byte page is the same
// bytes, so there they are found and replaced in the bytes and the inserted
// text is encoded once, by the page's own rules. A UTF-16 page, or a text
// that cannot be encoded piece by piece, goes the text way.
namespace byteedits {

// textedits::replaceTag on the page's bytes.
QByteArray replaceTag(QByteArray page, const QString& tag, const QString& code);

// textedits::insertHeadCode on the page's bytes; nothing when the page has no
// closing head tag.
std::optional<QByteArray> insertHeadCode(QByteArray page, const QString& code);

// textedits::updatePageTitle on the page's bytes; nothing when the page has no
// closing head tag it takes.
std::optional<QByteArray> updatePageTitle(QByteArray page, const QString& title);

}  // namespace byteedits
