#pragma once

#include <QByteArray>
#include <QString>

#include "components/status.h"
#include "components/text_buffer.h"

// The only way page, template and switch files are read and written.
namespace vFile {

// Reads the file's bytes as they are. On failure target is left unchanged.
// Every read of a page goes through here.
[[nodiscard]] Status LoadBytes(QByteArray& target, const QString& path);

// Makes bytes the whole content of the file, atomically. On failure the file is
// left exactly as it was. The one writer every page write goes through.
[[nodiscard]] Status SaveBytes(const QByteArray& bytes, const QString& path);

// Reads the whole file into target (text and encoding). On failure target is
// left unchanged.
[[nodiscard]] Status LoadText(TextBuffer& target, const QString& path);

// Makes source's text the whole content of the file, in source's encoding,
// atomically. On failure the file is left exactly as it was.
[[nodiscard]] Status SaveText(const TextBuffer& source, const QString& path);

// The pure halves of LoadText/SaveText, for callers holding bytes already.
TextBuffer decode(const QByteArray& bytes);
QByteArray encode(const TextBuffer& source);

// The encoding decode settles on for these bytes, without decoding them.
TextEncoding encodingOf(QByteArrayView bytes);

}  // namespace vFile
