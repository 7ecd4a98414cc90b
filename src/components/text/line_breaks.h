#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

// Line breaks as a file spells them. A browser reads every CR LF, lone CR
// and LF as one line feed, so the engine's markup holds LFs only; a page
// may spell its breaks in any of these ways, mixed, or as CR CR LF (a CR LF
// file sent through a transfer that added a CR), which reads as two line
// feeds. These functions carry the file's own spelling back onto markup.
namespace linebreaks {

// The file as the browser reads its lines: one LF for each line feed.
struct Lines final {
  QByteArray text;
  // Positions in text of the LFs the file writes as CR LF: the only breaks
  // of two bytes, so they alone shift text positions against the file's.
  std::vector<qsizetype> crlf;
  // How the file writes most of its line breaks: "\n", "\r\n", "\r", or
  // "\r\r\n" (which stands for two line feeds).
  QByteArray usual = "\n";

  // The file position of text position at (at most text.size()).
  qsizetype fileAt(qsizetype at) const;
};

Lines lines(const QByteArray& file);

// text, whose line breaks are LFs, with each run of them spelled the usual way.
QByteArray spell(QByteArrayView text, QByteArrayView usual);

// text (a whole page's markup in bytes, LF line breaks) with each line break
// written as the file writes the same line break where the two line up, and
// the file's usual way elsewhere.
QByteArray follow(const QByteArray& file, const Lines& fileLines, QByteArrayView text);

}  // namespace linebreaks
