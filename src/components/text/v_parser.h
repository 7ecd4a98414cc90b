#pragma once

#include <QString>

namespace vParser {

// Every exact, case-sensitive occurrence of find, left to right without
// overlap; inserted text is not searched again. An empty find changes nothing.
// mode is kept for callers that pass 0; no other value changes the result.
QString ReplaceAll(const QString& text, const QString& find, const QString& replacement,
                   int mode = 0);

}  // namespace vParser
