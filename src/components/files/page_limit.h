#pragma once

#include <QString>

#include "files/status.h"

// How big a page the browser engine is given. Its memory grows by about
// 100 bytes per byte of page (1.1 GB at 10 MB, 2.5 GB at 25 MB, 4.7 GB at
// 50 MB) and a 200 MB page ends with the engine's renderer dead after more
// than two minutes; the text tools, which work on the file itself, have no
// such limit.
namespace pagelimit {

inline constexpr qint64 kMaxShownBytes = 20LL * 1024 * 1024;

// Success when path is a file the engine can show and edit; otherwise why
// not ("the file does not exist", "it is too large for the editor (…)").
[[nodiscard]] Status showable(const QString& path);

// Success when path is, besides, a page the editor can save as it found it:
// a read-only file cannot be saved at all ("the file is read-only"), and a
// file holding NUL bytes that is not UTF-16 with a byte order mark (binary
// data) would come back without them, so it is not edited ("it is not a text
// page (it holds NUL bytes)").
[[nodiscard]] Status editable(const QString& path);

// Success when the file may be written: not read-only (by its permission
// bits, which bind root too).
[[nodiscard]] Status writable(const QString& path);

// Whether path is a file too big for the engine (false for anything else).
bool tooLarge(const QString& path);

}  // namespace pagelimit
