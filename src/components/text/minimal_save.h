#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

// Saving an edited page by changing only what the user changed. The engine's
// markup of the page before editing and after it are compared, and each
// changed stretch is carried onto the file's own bytes at the place that holds
// the same markup, so everything else stays exactly as its author wrote it.
// Pure text work: the caller checks the result in the engine before writing.
namespace minimalsave {

// before[from, to) became text.
struct Stretch final {
  qsizetype from = 0;
  qsizetype to = 0;
  QString text;
  bool operator==(const Stretch&) const = default;
};

// The stretches turning before into after, in order and apart. Empty
// optional, with why, when finding them would take more work than a save may.
std::optional<std::vector<Stretch>> stretches(const QString& before, const QString& after,
                                              QString* why = nullptr);

// How markup is written into the file's bytes.
struct Spelling final {
  QString charset;          // as document.characterSet names it
  bool plainAscii = false;  // the file stays ASCII: &#N; for the rest
  bool crlf = false;        // lines end in CR LF
};
std::optional<QByteArray> spell(const QString& text, const Spelling& spelling);
// The same with each run of line breaks written as lineBreak ("\r\r\n"
// stands for two).
std::optional<QByteArray> spellBroken(const QString& text, const Spelling& spelling,
                                      QByteArrayView lineBreak);

// Where a stretch of before stands in the file.
struct Place final {
  qsizetype at = 0;
  qsizetype length = 0;
  // Found as whole tags spelled otherwise in the file: the change is carried
  // onto the file's own spelling of them where it can be.
  bool wholeTags = false;
};

// The file with the changes from before to after, or why it cannot be made.
// Each stretch goes to the only place in the file whose bytes match it and
// the markup around it on at least one side, line breaks matched as the
// browser reads them whichever way the file spells them. Line breaks in new
// text are written the way the file writes most of its own.
struct Patch final {
  std::optional<QByteArray> bytes;
  QString why;
  int stretches = 0;
};
Patch patch(const QByteArray& file, const QString& before, const QString& after,
            const Spelling& spelling);

}  // namespace minimalsave
