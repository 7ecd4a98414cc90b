// The code tools' edits made on the page's bytes give exactly the bytes the
// text way gives (decode, edit the text, encode), for pages in every encoding
// a page file can have, any tag, any code and any title.
#include <QtEndian>
#include <functional>
#include <optional>

#include "files/v_file.h"
#include "fuzz_input.h"
#include "text/text_codec.h"
#include "tools/byte_edits.h"
#include "tools/text_edits.h"

namespace {

// The fuzzer's bytes made into a page of the encoding the selector picks, so
// that each is common: raw bytes (single-byte or UTF-8 as they fall), valid
// UTF-8 with and without a mark or a declaration, UTF-16 either way round.
QByteArray pageOf(QByteArrayView raw, uint8_t selector) {
  const QString text = QString::fromUtf8(raw);
  switch (selector % 7) {
    case 0:
      return raw.toByteArray();
    case 1:
      return "\xEF\xBB\xBF" + raw.toByteArray();
    case 2:
      return text.toUtf8();
    case 3:
      return "<meta charset=\"utf-8\">" + text.toLatin1();
    case 4:
    case 5: {
      QByteArray out(2 + 2 * text.size(), Qt::Uninitialized);
      if (selector % 7 == 4) {
        out[0] = '\xFF', out[1] = '\xFE';
        qToLittleEndian<char16_t>(text.constData(), text.size(), out.data() + 2);
      } else {
        out[0] = '\xFE', out[1] = '\xFF';
        qToBigEndian<char16_t>(text.constData(), text.size(), out.data() + 2);
      }
      return out;
    }
    default:
      return text.toLatin1();  // a single-byte page, high bytes and all
  }
}

std::optional<QByteArray> textWay(
    const QByteArray& page, const std::function<std::optional<QString>(const QString&)>& edit) {
  TextBuffer work = textcodec::decode(page);
  std::optional<QString> edited = edit(work.text);
  if (!edited) return std::nullopt;
  work.text = std::move(*edited);
  return textcodec::encode(work);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t flags = in.byte();
  const uint8_t selector = in.byte();
  const uint8_t at = in.byte();
  QString tag = textOf(in.piece(16), flags & 1);
  const QString code = textOf(in.piece(48), flags & 2);
  const QByteArray page = pageOf(in.rest(), selector);
  const QString text = textcodec::decode(page).text;

  // Often the tag is one the page holds, or the usual one.
  if ((flags & 12) == 4 && !text.isEmpty())
    tag = text.mid(qsizetype(at) * text.size() / 256, std::max<qsizetype>(1, tag.size()));
  else if ((flags & 12) == 8)
    tag = QStringLiteral("[BUYBUTTON]");

  const QByteArray replaced = byteedits::replaceTag(page, tag, code);
  FUZZ_CHECK(replaced == textWay(page, [&](const QString& t) -> std::optional<QString> {
               return textedits::replaceTag(t, tag, code);
             }));

  const std::optional<QByteArray> head = byteedits::insertHeadCode(page, code);
  FUZZ_CHECK(head ==
             textWay(page, [&](const QString& t) { return textedits::insertHeadCode(t, code); }));

  const std::optional<QByteArray> titled = byteedits::updatePageTitle(page, code);
  FUZZ_CHECK(titled ==
             textWay(page, [&](const QString& t) { return textedits::updatePageTitle(t, code); }));
  return 0;
}
