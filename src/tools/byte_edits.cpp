#include "tools/byte_edits.h"

#include <string.h>  // memmem

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "files/v_file.h"
#include "text/splice.h"
#include "text/text_codec.h"
#include "tools/text_edits.h"

namespace byteedits {

namespace {

using Positions = std::vector<qsizetype>;

constexpr qsizetype kHeadTagLength = 7;  // every closing head tag form
const QString kHeadClose = QStringLiteral("</head>");

// Where the page's text and its bytes agree on every ASCII character: an
// ASCII byte stands for that character and for nothing else.
bool takesByteWay(TextEncoding encoding) {
  return encoding == TextEncoding::Utf8 || encoding == TextEncoding::Utf8Bom ||
         encoding == TextEncoding::Bytes;
}

// The page's text starts after its byte order mark; nothing is found in that.
qsizetype textStart(TextEncoding encoding) { return encoding == TextEncoding::Utf8Bom ? 3 : 0; }

// text as the page's own rules write it. Nothing when encoding it apart from
// its neighbours might give other bytes than encoding the whole page: a lone
// surrogate could pair with the one beside it.
std::optional<QByteArray> encodedPiece(const QString& text, TextEncoding page) {
  if (!QStringView(text).isValidUtf16()) return std::nullopt;
  const TextEncoding piece = page == TextEncoding::Utf8Bom ? TextEncoding::Utf8 : page;
  return textcodec::encode(TextBuffer{text, piece});
}

// The bytes a find string has in the page, or nothing when finding them is
// not the same as finding the text. In UTF-8, whole characters match only at
// character boundaries; in a single-byte page only ASCII is itself.
std::optional<QByteArray> findBytes(const QString& find, TextEncoding page) {
  if (page != TextEncoding::Bytes) return encodedPiece(find, page);
  for (const QChar c : find)
    if (c.unicode() >= 0x80) return std::nullopt;
  return find.toLatin1();
}

qsizetype indexOf(QByteArrayView page, QByteArrayView find, qsizetype from) {
  // An empty page may have no data pointer at all, which memmem must not see.
  if (from < 0 || page.size() - from < find.size() || find.isEmpty()) return -1;
  const void* hit =
      memmem(page.data() + from, size_t(page.size() - from), find.data(), size_t(find.size()));
  return hit ? static_cast<const char*>(hit) - page.data() : -1;
}

// The edit made the text way: decoded, edited, encoded back.
template <typename Edit>
std::optional<QByteArray> textWay(QByteArray page, Edit edit) {
  TextBuffer work = textcodec::decode(page);
  page = QByteArray();  // the text holds the page now
  std::optional<QString> edited = edit(std::move(work.text));
  if (!edited) return std::nullopt;
  work.text = std::move(*edited);
  return textcodec::encode(work);
}

// Every occurrence of find from start on, left to right without overlap. The
// positions are kept to edit in place; where matches are so dense that their
// list would outweigh a second buffer, the result is built afresh instead.
QByteArray replaceAll(QByteArray page, qsizetype start, QByteArrayView find, QByteArrayView with) {
  const auto most = std::size_t(page.size() / 32);
  Positions at;
  for (qsizetype hit = indexOf(page, find, start); hit >= 0;
       hit = indexOf(page, find, hit + find.size())) {
    if (at.size() == most) {
      QByteArray built;
      built.reserve(page.size() +
                    std::max<qsizetype>(0, with.size() - find.size()) * qsizetype(at.size()));
      qsizetype from = 0;
      for (qsizetype h = indexOf(page, find, start); h >= 0;
           h = indexOf(page, find, h + find.size())) {
        built.append(page.constData() + from, h - from);
        built.append(with);
        from = h + find.size();
      }
      built.append(page.constData() + from, page.size() - from);
      return built;
    }
    at.push_back(hit);
  }
  return splice::replaceAt(std::move(page), at, find.size(), with);
}

// The closing head tags written in one form. Each form is searched for whole
// (a tag cannot overlap itself), which is far faster than looking at every "</".
enum HeadForm { Capitalised, Upper, Lower };

Positions closingHeadTags(QByteArrayView page, HeadForm form) {
  static constexpr std::array<QByteArrayView, 3> kTags{"</Head>", "</HEAD>", "</head>"};
  Positions found;
  for (qsizetype at = indexOf(page, kTags[form], 0); at >= 0;
       at = indexOf(page, kTags[form], at + kHeadTagLength))
    found.push_back(at);
  return found;
}

// The next "</title>" in any case from from on. Only ASCII letters match it
// case-insensitively, in the text as in the bytes.
qsizetype indexOfTitleClose(QByteArrayView page, qsizetype from) {
  static constexpr char kName[] = "title>";
  for (qsizetype at = indexOf(page, "</", from); at >= 0 && at + 8 <= page.size();
       at = indexOf(page, "</", at + 1)) {
    bool same = true;
    for (int i = 0; i < 6 && same; ++i) {
      const char c = page[at + 2 + i];
      same = c == kName[i] || (kName[i] != '>' && char(c | 0x20) == kName[i]);
    }
    if (same) return at;
  }
  return -1;
}

// The page without the title elements that stand wholly before limit, as
// pageedits removes them; nothing when there are none.
std::optional<QByteArray> withoutHeadTitles(QByteArrayView page, qsizetype limit) {
  static constexpr std::array<QByteArrayView, 3> kOpens{"<Title>", "<TITLE>", "<title>"};
  constexpr qsizetype kOpenLength = 7;
  constexpr qsizetype kCloseLength = 8;
  std::array<qsizetype, 3> next{};
  for (std::size_t i = 0; i < kOpens.size(); ++i) next[i] = indexOf(page, kOpens[i], 0);

  std::optional<QByteArray> result;
  qsizetype copied = 0;
  for (;;) {
    qsizetype open = -1;
    for (const qsizetype at : next)
      if (at >= 0 && (open < 0 || at < open)) open = at;
    if (open < 0 || open >= limit) break;
    const qsizetype closeAt = indexOfTitleClose(page, open + kOpenLength);
    if (closeAt < 0 || closeAt + kCloseLength > limit) break;
    const qsizetype end = closeAt + kCloseLength;
    if (!result) result.emplace().reserve(page.size());
    result->append(page.sliced(copied, open - copied));
    copied = end;
    for (std::size_t i = 0; i < kOpens.size(); ++i)
      if (next[i] >= 0 && next[i] < end) next[i] = indexOf(page, kOpens[i], end);
  }
  if (result) result->append(page.sliced(copied));
  return result;
}

}  // namespace

QByteArray replaceTag(QByteArray page, const QString& tag, const QString& code) {
  // Decoding and encoding give back every byte, so nothing to find is nothing
  // to change.
  if (tag.isEmpty()) return page;
  const TextEncoding encoding = textcodec::encodingOf(page);
  const std::optional<QByteArray> find =
      takesByteWay(encoding) ? findBytes(tag, encoding) : std::nullopt;
  const std::optional<QByteArray> with = find ? encodedPiece(code, encoding) : std::nullopt;
  if (!with) {
    return *textWay(std::move(page), [&](QString text) -> std::optional<QString> {
      return textedits::replaceTag(text, tag, code);
    });
  }
  return replaceAll(std::move(page), textStart(encoding), *find, *with);
}

std::optional<QByteArray> insertHeadCode(QByteArray page, const QString& code) {
  const TextEncoding encoding = textcodec::encodingOf(page);
  const std::optional<QByteArray> with =
      takesByteWay(encoding) ? encodedPiece(code + kHeadClose, encoding) : std::nullopt;
  if (!with) {
    return textWay(std::move(page),
                   [&](QString text) { return textedits::insertHeadCode(std::move(text), code); });
  }
  for (const HeadForm form : {Capitalised, Upper, Lower}) {
    const Positions tags = closingHeadTags(page, form);
    if (!tags.empty()) return splice::replaceAt(std::move(page), tags, kHeadTagLength, *with);
  }
  return std::nullopt;
}

std::optional<QByteArray> updatePageTitle(QByteArray page, const QString& title) {
  const TextEncoding encoding = textcodec::encodingOf(page);
  const std::optional<QByteArray> with =
      takesByteWay(encoding) ? encodedPiece(textedits::titleElement(title) + kHeadClose, encoding)
                             : std::nullopt;
  if (!with) {
    return textWay(std::move(page), [&](QString text) {
      return textedits::updatePageTitle(std::move(text), title);
    });
  }
  HeadForm form = Upper;
  Positions tags = closingHeadTags(page, form);
  if (tags.empty()) tags = closingHeadTags(page, form = Lower);
  if (tags.empty()) return std::nullopt;
  // Every title before the last closing head tag goes, as in the text; the
  // tags are then looked for again, since cutting a title out can join one.
  std::optional<QByteArray> stripped = withoutHeadTitles(page, tags.back());
  if (!stripped) return splice::replaceAt(std::move(page), tags, kHeadTagLength, *with);
  page = QByteArray();
  const Positions at = closingHeadTags(*stripped, form);
  return splice::replaceAt(std::move(*stripped), at, kHeadTagLength, *with);
}

}  // namespace byteedits
