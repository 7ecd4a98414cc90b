#pragma once

#include <QStringView>

// Character references in the text of a page, read the way browsers read them.
namespace htmlentities {

// A reference decoded: the character it stands for and how many UTF-16 units
// of the text it takes, "&" and ";" included. length 0: not a reference, the
// "&" is an ampersand.
struct Reference final {
  char32_t character = 0;
  qsizetype length = 0;
};

// The reference starting at text[at] (which is "&"). Numeric references
// (&#233; &#xE9;) follow the browsers' rules, windows-1252 remapping of
// 128-159 included. Named ones come from a table of the HTML 4 names (every
// Latin-1 letter and sign, the Greek letters, typographic punctuation, arrows
// and mathematical signs) plus the few later names pages commonly use
// (&apos; &check; &star; ...); the rest of HTML5's two thousand names are
// rare in the pages Quorvane edits and read as plain text. The Latin-1 names
// and &amp; &lt; &gt; &quot; also count without their ";", as browsers do.
Reference decodeAt(QStringView text, qsizetype at);

}  // namespace htmlentities
