#pragma once

#include <QByteArray>
#include <QString>

#include "files/status.h"

// A page written back: the history keeps the bytes it held first, then the
// one writer replaces them. Every write of a user's page goes through here.
namespace pagefile {

[[nodiscard]] Status save(const QByteArray& bytes, const QString& path);

}  // namespace pagefile
