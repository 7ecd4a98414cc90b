#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

#include "text/text_buffer.h"

// Finding a text in one page and working out what replacing it writes: pure
// functions over the page's decoded text, no widgets and no files.
namespace pagesearch {

enum class Mode {
  Text,  // what a visitor reads: never inside a tag, comment, script or style
  Code,  // the file's text exactly, like the tag tools
};

struct Options final {
  QString find;
  Mode mode = Mode::Text;
  bool matchCase = false;
  bool wholeWord = false;
};

// How the decoded text maps to the page's characters and bytes.
struct PageCoding final {
  TextEncoding encoding = TextEncoding::Utf8;
  // For a single-byte page: the charset it declares (lower case), empty when
  // it declares none.
  QString charset;
};
PageCoding codingOf(const QByteArray& fileBytes, TextEncoding decodedAs);

// A charset in which a byte below 0x80 may be half of a character: a page in
// it that holds other bytes cannot be searched byte by byte.
bool multiByteCharset(const QString& name);

struct Match final {
  qsizetype start = 0;  // in the decoded text
  qsizetype end = 0;
  qsizetype byteStart = 0;  // in the file
  qsizetype byteEnd = 0;
  int line = 1;
  // What the user is shown: the text before, the match, the text after.
  QString before;
  QString found;
  QString after;
};

struct Found final {
  QList<Match> matches;  // left to right, none overlapping
  QString refused;       // why this page cannot be searched, else empty
};

// Every match of options.find in the page: in text mode a match lies within
// one run of text between two tags, entities in the file match their
// character, and any run of white space (line breaks and no-break spaces
// included) matches one space of the find text.
Found findMatches(const TextBuffer& page, const PageCoding& coding, const Options& options);
// The same found by building the whole page's visible text first: slower,
// and what the search above is checked against.
Found findMatchesWhole(const TextBuffer& page, const PageCoding& coding, const Options& options);

// In code mode, the matches findMatches finds in the decoded page, found in
// the bytes of a UTF-8 page without decoding it (the most of a search of many
// pages). Nothing when the page or the options need the decoded text: another
// encoding, whole words, or a case-blind search that Unicode folding could
// widen.
std::optional<Found> findCodeInUtf8(const QByteArray& fileBytes, TextEncoding encoding,
                                    const Options& options);
// Whether findCodeInUtf8 may answer for these options, before the page's
// encoding is worked out.
bool codeInBytes(const Options& options);

// The bytes the replacement is written as in this page: in text mode with
// &, < and > escaped; a character the page's charset cannot hold as a
// numeric character reference.
QByteArray replacementBytes(const QString& replacement, Mode mode, const PageCoding& coding);

using ByteRange = std::pair<qsizetype, qsizetype>;  // [first, second)
// bytes with every range (in order, not overlapping) replaced by with; every
// other byte stays as it is.
QByteArray spliceBytes(const QByteArray& bytes, const QList<ByteRange>& ranges,
                       const QByteArray& with);

}  // namespace pagesearch
