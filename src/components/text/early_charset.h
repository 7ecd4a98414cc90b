#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The character set a page names so early that the engine takes it from those
// bytes alone: a UTF-8 byte order mark, or a <meta> declaring one that the
// engine's first look at the page is sure to reach (in the first 1024 bytes,
// with nothing but a doctype, comments, a title and head tags before it).
namespace earlycharset {

// The label as written ("utf-8" for a byte order mark), or empty when the
// engine may take the character set from anything else in the page: bytes
// past `head`, the page's content, or a tag this reading is not sure of.
// Whether the label names a character set at all is for the engine to say.
QByteArray labelOf(QByteArrayView head);

}  // namespace earlycharset
