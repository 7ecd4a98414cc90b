#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include "text/text_buffer.h"

// A file's bytes as text and back, so that every byte not changed is written
// back as it was: the pure halves of vFile::LoadText and vFile::SaveText.
namespace textcodec {

TextBuffer decode(const QByteArray& bytes);
// The same into a buffer whose room is used again, so that decoding many
// pages one after another does not take fresh memory for each.
void decodeInto(const QByteArray& bytes, TextBuffer& into);
QByteArray encode(const TextBuffer& source);

// Bytes known to be valid UTF-8 (encodingOf said so, or a stretch of such a
// page cut on whole characters) as text, as decode reads them.
QString fromValidUtf8(QByteArrayView bytes);

// The encoding decode settles on for these bytes, without decoding them.
TextEncoding encodingOf(QByteArrayView bytes);

}  // namespace textcodec
