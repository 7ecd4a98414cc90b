#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <optional>
#include <utility>

// A page file as the code view shows it and back. The view holds UTF-8; a
// save writes the file's own bytes everywhere except the one stretch the
// user changed, so nothing the user did not touch is re-encoded: line breaks,
// bytes the charset does not know, a byte order mark stay exactly as they are.
namespace codetext {

enum class Charset {
  Utf8,         // shown as the file's bytes; bytes that are not UTF-8 stay raw (marks)
  Windows1252,  // every byte is a character (ISO-8859-1 and ASCII pages read so too)
  Utf16Le,      // with its byte order mark
  Utf16Be,
  Other,  // a charset the page names whose bytes read back exactly
};

struct Shown final {
  QByteArray text;  // UTF-8 (raw for Utf8 pages), no byte order mark
  Charset charset = Charset::Utf8;
  QByteArray name;      // the charset's name, for Other
  qsizetype start = 0;  // bytes of the file before text: its byte order mark
  // How most lines end: "\n", "\r\n" or "\r" (what Enter types).
  QByteArray eol = "\n";
};

// Whether decode makes the whole text, or leaves it to forEachPiece (for a
// big page, so it is not held twice while it goes into the view).
enum class Text { Whole, Pieces };

// The file as the code view shows it, or nullopt with why (a file with NUL
// bytes is not text). With Text::Pieces, text is kept only for a UTF-8 page
// without a mark (the file itself, shared) and for Other.
std::optional<Shown> decode(const QByteArray& file, QString* why = nullptr,
                            Text text = Text::Whole);

// The shown text in pieces of about a megabyte, in order; and its size.
void forEachPiece(const QByteArray& file, const Shown& shown,
                  const std::function<void(QByteArrayView)>& take);
qsizetype textSize(const QByteArray& file, const Shown& shown);

struct Saved final {
  QByteArray file;
  // Characters the charset cannot hold, written as &#N;.
  int references = 0;
};

// The file's new bytes for the view's text now (shown was decoded from file).
Saved encode(const QByteArray& file, const Shown& shown, QByteArrayView now);

// The file's new bytes when the shown text's bytes [from, to) (character
// starts) became `stretch`. Needs shown.text only for Other: the rest maps
// text to file positions from the file itself, so a view of a big page need
// not keep a second copy of it. What the stretch kept of the old text is
// written back as the file had it.
Saved encodeChange(const QByteArray& file, const Shown& shown, qsizetype from, qsizetype to,
                   QByteArrayView stretch);

// How many bytes of the file the shown text stands for (not for Other): a
// big page's positions in its file are found from the view's own text.
qsizetype fileBytesOf(const Shown& shown, QByteArrayView text);

// The bytes of a file holding the whole text, its byte order mark first:
// for writing over a file that is no longer the one that was shown.
Saved encodeText(const Shown& shown, QByteArrayView text);

// A big page read from its file in pieces, never held whole: how it is
// shown is told from its first bytes, then each piece becomes text in turn.
// Its text is what decode and forEachPiece make of the whole file.
class PieceDecoder final {
 public:
  // head: the file's first bytes (a megabyte, or all of a shorter file);
  // fileSize: the whole file's. Nothing for a page in a charset it names
  // that is read whole (Charset::Other). A page that names none is taken as
  // UTF-8 unless asUtf8 is false, which it must be once a piece said NotUtf8.
  static std::optional<PieceDecoder> forHead(QByteArrayView head, qint64 fileSize,
                                             bool asUtf8 = true);

  // shown.text is left empty.
  const Shown& shown() const { return shown_; }

  enum class Piece { Text, NotText, NotUtf8 };
  // The text of the next piece of the file, the first from the file's start.
  // NotText: it holds a NUL; NotUtf8: the page named no charset and is not
  // UTF-8 after all (read it again with asUtf8 false).
  Piece take(QByteArrayView piece, QByteArray& text);
  // As take, adding only the size of the piece's text to size: for a first
  // pass that checks the page and measures it.
  Piece measure(QByteArrayView piece, qsizetype& size);
  // After the last piece: the text of what was held back (a character
  // split between pieces). NotUtf8 as above.
  Piece finish(QByteArray& text);

 private:
  Piece next(QByteArrayView piece, QByteArray* text, qsizetype* size);

  Shown shown_;
  bool guessedUtf8_ = false;
  qsizetype skip_ = 0;  // bytes of the mark still to pass
  QByteArray carry_;    // the start of a character the next piece ends
};

}  // namespace codetext

namespace codetext {

// Where the start tag of the ordinal-th element named name (counted from 0
// among start tags of that name, in the order of the text) stands in text:
// {start, length}; nullopt when the text has fewer.
std::optional<std::pair<qsizetype, qsizetype>> startTag(QByteArrayView text, QByteArrayView name,
                                                        int ordinal);

// The element whose start tag is the last to begin at or before `at` (where
// the caret stands): its name, lower-cased, and its ordinal among start tags
// of that name. Empty name when there is none.
std::pair<QByteArray, int> elementAt(QByteArrayView text, qsizetype at);

}  // namespace codetext
