#pragma once

#include <QByteArray>
#include <QString>

#include "files/file_stamp.h"
#include "files/status.h"
#include "files/v_file.h"

// A page written back: the history keeps the bytes it held first, then the
// one writer replaces them. Every write of a user's page goes through here.
namespace pagefile {

// known: what the caller knew of the file when it read it, so the history
// need not read a big page again to keep its bytes.
[[nodiscard]] Status save(const QByteArray& bytes, const QString& path,
                          const KnownBytes* known = nullptr);

// Writes the page with one stretch replaced, without holding it whole, while
// it is the file known.stamp describes; the history keeps its old bytes as
// save does. The splice must change the page's bytes.
[[nodiscard]] Status saveSplice(const vFile::Splice& splice, const QString& path,
                                const KnownBytes& known);

}  // namespace pagefile
