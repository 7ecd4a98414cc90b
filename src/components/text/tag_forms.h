#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// Markup with every tag written one way, whatever its spelling: tag and
// attribute names in lower case, each value in double quotes with &amp; and
// &quot; read, no self-closing slash, single spaces. "<P ID=b>", "<p id='b'>"
// and "<p  id=\"b\" />" all read "<p id=\"b\">". A declaration the browser
// reads as a comment reads as that comment ("<![if x]>" as "<!--[if x]-->"),
// and a reference the engine writes otherwise as the engine writes it
// ("&nbsp" as "&nbsp;", "&#65;" as "A"). Other text, comments and the doctype
// stay as written. Lets a file's tags be lined up with the engine's by what
// they are rather than how they are spelled.
namespace tagforms {

struct Token final {
  qsizetype form = 0;    // where it starts in the one-way text
  qsizetype source = 0;  // where it starts in the markup as written
  bool tag = false;      // a tag (positions inside it do not map), else text
};

template <typename S>
struct Forms final {
  S text;
  std::vector<Token> tokens;
  qsizetype sourceSize = 0;

  // The one-way position of a source position, -1 inside a tag.
  qsizetype toForm(qsizetype source) const;
  // The source position of a one-way position, -1 inside a tag.
  qsizetype toSource(qsizetype form) const;
  // The start of the tag holding source position at (at itself when none).
  qsizetype tagStart(qsizetype at) const;
  // The end of the tag holding the character before at (at itself when none).
  qsizetype tagEnd(qsizetype at) const;
};

// loose: also without the tags a page may leave out and the browser puts in
// ("</p>", "</li>", "</td>", a bare "<tbody>"...), so that "<P>One<P>Two"
// lines up with the engine's "<p>One</p><p>Two</p>".
Forms<QString> of(const QString& markup, bool loose = false);
Forms<QByteArray> of(const QByteArray& markup, bool loose = false);

}  // namespace tagforms
