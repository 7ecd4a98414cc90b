// Turning an edited page back into file bytes: the file's prologue and byte
// order mark come first, line endings follow the file, and every character of
// the markup can be read back from the bytes (as itself or as &#N;).
#include <QStringDecoder>
#include <QStringList>
#include <array>

#include "fuzz_input.h"
#include "text/charsets.h"
#include "text/page_text.h"

namespace {

constexpr QByteArrayView kBom("\xEF\xBB\xBF");

// windows-1252 as browsers read it: the five unassigned bytes are C1 controls.
QString fromWindows1252(QByteArrayView bytes) {
  QString text;
  for (const char c : bytes) {
    const auto b = uint8_t(c);
    text += QChar(charsets::fromWindows1252(b));
  }
  return text;
}

// Character references back to characters (the text itself holds no '&').
QString withReferencesResolved(const QString& text) {
  QString out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && text.mid(i, 2) == u"&#") {
      const qsizetype end = text.indexOf(u';', i);
      bool ok = false;
      const uint cp = text.mid(i + 2, end - i - 2).toUInt(&ok);
      FUZZ_CHECK(end > 0 && ok);
      if (QChar::requiresSurrogates(cp)) {
        out += QChar(QChar::highSurrogate(cp));
        out += QChar(QChar::lowSurrogate(cp));
      } else {
        out += QChar(char16_t(cp));
      }
      i = end;
    } else {
      out += text[i];
    }
  }
  return out;
}

QString readBack(const QByteArray& bytes, const QString& charset) {
  if (charset == u"windows-1252") return withReferencesResolved(fromWindows1252(bytes));
  QStringDecoder decoder(
      charset.toLatin1().constData(),
      QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
  FUZZ_CHECK(decoder.isValid());
  const QString text = decoder.decode(bytes);
  return withReferencesResolved(text);
}

const QStringList& charsetNames() {
  static const QStringList names{QStringLiteral("utf-8"),        QStringLiteral("windows-1252"),
                                 QStringLiteral("us-ascii"),     QStringLiteral("ISO-8859-2"),
                                 QStringLiteral("windows-1251"), QStringLiteral("KOI8-R"),
                                 QStringLiteral("ISO-8859-15")};
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t flags = in.byte();
  const QString markup = textOf(in.piece(255), false);
  const QByteArray file = in.rest().toByteArray();

  const QByteArray prologue = pagetext::prologueOf(file);
  const QByteArrayView body = file.startsWith(kBom) ? QByteArrayView(file).sliced(3) : file;
  FUZZ_CHECK(body.startsWith(prologue));
  FUZZ_CHECK(pagetext::prologueOf(prologue) == prologue);

  const pagetext::FileTraits traits = pagetext::traitsOf(file);
  FUZZ_CHECK(traits.bom == file.startsWith(kBom));
  FUZZ_CHECK(traits.prologue == prologue);

  const QString charset = charsetNames()[flags % charsetNames().size()];
  const std::optional<QByteArray> encoded = pagetext::encodeIn(markup, charset);
  FUZZ_CHECK(encoded.has_value());
  if (!markup.contains(u'&')) FUZZ_CHECK(readBack(*encoded, charset) == markup);

  const std::optional<QByteArray> saved = pagetext::savedBytes(traits, markup, charset);
  FUZZ_CHECK(saved.has_value());
  const bool bom = traits.bom && charset == u"utf-8";
  if (bom) FUZZ_CHECK(saved->startsWith(kBom));
  const QByteArray afterBom = bom ? saved->sliced(3) : *saved;
  FUZZ_CHECK(afterBom.startsWith(prologue));
  const QByteArray savedBody = afterBom.sliced(prologue.size());
  if (traits.crlf)
    for (qsizetype i = 0; i < savedBody.size(); ++i)
      if (savedBody[i] == '\n') FUZZ_CHECK(i > 0 && savedBody[i - 1] == '\r');
  if (traits.plainAscii)
    for (const char c : savedBody) FUZZ_CHECK(uint8_t(c) < 0x80);
  if (!markup.contains(u'&')) {
    QString expected = markup;
    if (traits.crlf)
      expected = QString(expected)
                     .replace(QLatin1String("\r\n"), QLatin1String("\n"))
                     .replace(u'\n', QLatin1String("\r\n"));
    const QString back =
        readBack(savedBody, traits.plainAscii ? QStringLiteral("us-ascii") : charset);
    FUZZ_CHECK(back == expected);
  }
  return 0;
}
