#pragma once

#include <QString>

// Checking an address typed for a link before it goes into the page. Pure:
// whether a relative file exists is for the caller to ask.
namespace linkaddress {

enum class Kind { Web, Mail, Phone, Anchor, Relative, Refused };

struct Verdict final {
  Kind kind = Kind::Refused;
  QString address;  // what goes into href: the address without surrounding blanks
  QString file;     // Relative: the file it names, decoded, without query or fragment
  QString why;      // Refused: a sentence for the user
};

Verdict check(const QString& typed);

// The scheme a browser would see: tabs and line breaks taken out, blanks and
// control characters at the start dropped, character references decoded,
// lower-cased. Empty when the address has none (relative, anchor).
QString schemeOf(const QString& address);

}  // namespace linkaddress
