#include "text/link_address.h"

#include <QRegularExpression>
#include <QUrl>

namespace linkaddress {
namespace {

// Character references a pasted address may carry ("java&#115;cript:",
// "javascript&colon;"); only what can hide a scheme needs decoding.
QString decodeReferences(const QString& s) {
  QString out;
  out.reserve(s.size());
  for (qsizetype i = 0; i < s.size(); ++i) {
    if (s[i] != u'&') {
      out += s[i];
      continue;
    }
    const qsizetype semi = s.indexOf(u';', i);
    const qsizetype end = semi < 0 ? s.size() : semi;
    const QString name = s.mid(i + 1, end - i - 1);
    bool ok = false;
    uint code = 0;
    if (name.startsWith(u'#')) {
      const bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
      code = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
    } else if (name.compare(u"colon", Qt::CaseInsensitive) == 0) {
      code = ':', ok = true;
    } else if (name.compare(u"tab", Qt::CaseInsensitive) == 0) {
      code = '\t', ok = true;
    } else if (name.compare(u"newline", Qt::CaseInsensitive) == 0) {
      code = '\n', ok = true;
    }
    if (!ok || name.isEmpty() || code > 0x10FFFF) {
      out += s[i];
      continue;
    }
    out += QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
    i = semi < 0 ? s.size() : semi;
  }
  return out;
}

}  // namespace

QString schemeOf(const QString& address) {
  // What a browser does with an href before it looks for the scheme: it
  // drops tabs and line breaks anywhere and blanks or controls at the start.
  QString s;
  for (const QChar c : decodeReferences(address))
    if (c != u'\t' && c != u'\n' && c != u'\r') s += c;
  qsizetype start = 0;
  while (start < s.size() && s[start].unicode() <= 0x20) ++start;
  s = s.mid(start);
  qsizetype i = 0;
  // A scheme is a letter, then letters, digits, "+", "-", "." up to ":".
  if (s.isEmpty() || !(s[0].isLetter() && s[0].unicode() < 128)) return {};
  while (i < s.size() && s[i].unicode() < 128 &&
         (s[i].isLetterOrNumber() || s[i] == u'+' || s[i] == u'-' || s[i] == u'.'))
    ++i;
  if (i >= s.size() || s[i] != u':') return {};
  return s.left(i).toLower();
}

Verdict check(const QString& typed) {
  Verdict v;
  v.address = typed.trimmed();
  if (v.address.isEmpty()) {
    v.why = QStringLiteral("Please type the address the link goes to.");
    return v;
  }
  const QString scheme = schemeOf(v.address);
  if (scheme == u"javascript" || scheme == u"vbscript" || scheme == u"data") {
    v.why = QStringLiteral(
                "A link cannot run a script (the address starts with \"%1:\"). "
                "Please type a web address such as https://example.com.")
                .arg(scheme);
    return v;
  }
  for (const QChar c : v.address) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
      v.why = QStringLiteral(
          "The address holds a control character (a tab or line break). "
          "Please type it again.");
      return v;
    }
  }
  if (scheme == u"http" || scheme == u"https") {
    // Tolerant, as browsers are: quotes or spaces in a query are escaped, not refused.
    const QUrl url(v.address);
    if (!url.isValid() || url.host().isEmpty()) {
      v.why = QStringLiteral(
                  "\"%1\" is not a complete web address. It should look like "
                  "https://example.com/page.html.")
                  .arg(v.address);
      return v;
    }
    v.kind = Kind::Web;
    return v;
  }
  if (scheme == u"mailto" || scheme == u"tel") {
    if (v.address.size() == scheme.size() + 1) {
      v.why = QStringLiteral("Please type the %1 after \"%2:\".")
                  .arg(scheme == u"tel" ? QStringLiteral("phone number")
                                        : QStringLiteral("e-mail address"),
                       scheme);
      return v;
    }
    v.kind = scheme == u"tel" ? Kind::Phone : Kind::Mail;
    return v;
  }
  if (!scheme.isEmpty()) {
    v.why = QStringLiteral(
                "Links can go to web pages (http, https), e-mail (mailto), phone "
                "numbers (tel), a place in the page (#name) or a file beside the "
                "page; \"%1:\" addresses are not supported.")
                .arg(scheme);
    return v;
  }
  if (v.address.startsWith(u'#')) {
    v.kind = Kind::Anchor;
    return v;
  }
  if (v.address.startsWith(u"//")) {
    // Scheme-relative: a web address whose scheme the page decides.
    v.kind = Kind::Web;
    return v;
  }
  v.kind = Kind::Relative;
  QString path = v.address;
  if (const qsizetype cut = path.indexOf(QRegularExpression(QStringLiteral("[?#]"))); cut >= 0)
    path.truncate(cut);
  v.file = QUrl::fromPercentEncoding(path.toUtf8());
  return v;
}

}  // namespace linkaddress
