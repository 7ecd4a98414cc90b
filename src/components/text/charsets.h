#pragma once

#include <QByteArrayView>
#include <QString>

// What every reader of page bytes needs to know of character sets, written
// once: windows-1252 as browsers read it, and the charset a page names.
namespace charsets {

// windows-1252 as browsers read it (ISO-8859-1 and US-ASCII pages too): the
// five bytes with no character of their own are the C1 controls, so every
// byte read comes back unchanged.
char16_t fromWindows1252(unsigned char byte);
// The byte for a character, or -1 when windows-1252 has none for it.
int toWindows1252(char32_t codePoint);

// The charset a page names anywhere in its first 16 KB (a <meta> charset,
// an http-equiv content type or an XML declaration), lower-cased; empty when
// it names none. A loose look, right for choosing how to write a page; what
// the engine decides from the first bytes alone is earlycharset::labelOf.
QString named(QByteArrayView pageBytes);

// Whether every byte is ASCII.
bool isAscii(QByteArrayView bytes);
// Where the first byte above 0x7F stands, or the size when there is none.
qsizetype firstNonAscii(QByteArrayView bytes);

}  // namespace charsets
