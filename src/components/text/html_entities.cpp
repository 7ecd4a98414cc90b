#include "text/html_entities.h"

#include <QHash>
#include <QString>
#include <array>

#include "text/charsets.h"

namespace {

// U+00A0 to U+00FF in order: the names browsers also accept without ";".
constexpr std::array<const char*, 96> kLatin1 = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

struct Named {
  const char* name;
  char32_t character;
};

constexpr Named kOthers[] = {
    // Punctuation and letters beyond Latin-1.
    {"apos", 0x27},
    {"OElig", 0x152},
    {"oelig", 0x153},
    {"Scaron", 0x160},
    {"scaron", 0x161},
    {"Yuml", 0x178},
    {"fnof", 0x192},
    {"circ", 0x2C6},
    {"tilde", 0x2DC},
    {"ensp", 0x2002},
    {"emsp", 0x2003},
    {"thinsp", 0x2009},
    {"zwnj", 0x200C},
    {"zwj", 0x200D},
    {"lrm", 0x200E},
    {"rlm", 0x200F},
    {"hyphen", 0x2010},
    {"dash", 0x2010},
    {"ndash", 0x2013},
    {"mdash", 0x2014},
    {"lsquo", 0x2018},
    {"rsquo", 0x2019},
    {"sbquo", 0x201A},
    {"ldquo", 0x201C},
    {"rdquo", 0x201D},
    {"bdquo", 0x201E},
    {"dagger", 0x2020},
    {"Dagger", 0x2021},
    {"bull", 0x2022},
    {"bullet", 0x2022},
    {"hellip", 0x2026},
    {"permil", 0x2030},
    {"prime", 0x2032},
    {"Prime", 0x2033},
    {"lsaquo", 0x2039},
    {"rsaquo", 0x203A},
    {"oline", 0x203E},
    {"frasl", 0x2044},
    {"euro", 0x20AC},
    {"image", 0x2111},
    {"weierp", 0x2118},
    {"real", 0x211C},
    {"trade", 0x2122},
    {"TRADE", 0x2122},
    {"alefsym", 0x2135},
    // Arrows and mathematical signs.
    {"larr", 0x2190},
    {"uarr", 0x2191},
    {"rarr", 0x2192},
    {"darr", 0x2193},
    {"harr", 0x2194},
    {"crarr", 0x21B5},
    {"lArr", 0x21D0},
    {"uArr", 0x21D1},
    {"rArr", 0x21D2},
    {"dArr", 0x21D3},
    {"hArr", 0x21D4},
    {"forall", 0x2200},
    {"part", 0x2202},
    {"exist", 0x2203},
    {"empty", 0x2205},
    {"nabla", 0x2207},
    {"isin", 0x2208},
    {"notin", 0x2209},
    {"ni", 0x220B},
    {"prod", 0x220F},
    {"sum", 0x2211},
    {"minus", 0x2212},
    {"lowast", 0x2217},
    {"radic", 0x221A},
    {"prop", 0x221D},
    {"infin", 0x221E},
    {"ang", 0x2220},
    {"and", 0x2227},
    {"or", 0x2228},
    {"cap", 0x2229},
    {"cup", 0x222A},
    {"int", 0x222B},
    {"there4", 0x2234},
    {"sim", 0x223C},
    {"cong", 0x2245},
    {"asymp", 0x2248},
    {"ne", 0x2260},
    {"equiv", 0x2261},
    {"le", 0x2264},
    {"ge", 0x2265},
    {"sub", 0x2282},
    {"sup", 0x2283},
    {"nsub", 0x2284},
    {"sube", 0x2286},
    {"supe", 0x2287},
    {"oplus", 0x2295},
    {"otimes", 0x2297},
    {"perp", 0x22A5},
    {"sdot", 0x22C5},
    {"lceil", 0x2308},
    {"rceil", 0x2309},
    {"lfloor", 0x230A},
    {"rfloor", 0x230B},
    {"lang", 0x27E8},
    {"rang", 0x27E9},
    // Shapes and marks sellers put in lists and guarantees.
    {"loz", 0x25CA},
    {"starf", 0x2605},
    {"bigstar", 0x2605},
    {"star", 0x2606},
    {"phone", 0x260E},
    {"spades", 0x2660},
    {"clubs", 0x2663},
    {"hearts", 0x2665},
    {"diams", 0x2666},
    {"check", 0x2713},
    {"checkmark", 0x2713},
    {"cross", 0x2717},
    {"copysr", 0x2117},
    {"numero", 0x2116},
    {"half", 0xBD},
    {"centerdot", 0xB7},
    {"NewLine", 0x0A},
    {"Tab", 0x09},
    {"excl", 0x21},
    {"num", 0x23},
    {"dollar", 0x24},
    {"percnt", 0x25},
    {"lpar", 0x28},
    {"rpar", 0x29},
    {"ast", 0x2A},
    {"plus", 0x2B},
    {"comma", 0x2C},
    {"period", 0x2E},
    {"sol", 0x2F},
    {"colon", 0x3A},
    {"semi", 0x3B},
    {"equals", 0x3D},
    {"quest", 0x3F},
    {"commat", 0x40},
    {"lsqb", 0x5B},
    {"rsqb", 0x5D},
    {"lowbar", 0x5F},
    {"lcub", 0x7B},
    {"verbar", 0x7C},
    {"rcub", 0x7D},
    // Greek.
    {"Alpha", 0x391},
    {"Beta", 0x392},
    {"Gamma", 0x393},
    {"Delta", 0x394},
    {"Epsilon", 0x395},
    {"Zeta", 0x396},
    {"Eta", 0x397},
    {"Theta", 0x398},
    {"Iota", 0x399},
    {"Kappa", 0x39A},
    {"Lambda", 0x39B},
    {"Mu", 0x39C},
    {"Nu", 0x39D},
    {"Xi", 0x39E},
    {"Omicron", 0x39F},
    {"Pi", 0x3A0},
    {"Rho", 0x3A1},
    {"Sigma", 0x3A3},
    {"Tau", 0x3A4},
    {"Upsilon", 0x3A5},
    {"Phi", 0x3A6},
    {"Chi", 0x3A7},
    {"Psi", 0x3A8},
    {"Omega", 0x3A9},
    {"alpha", 0x3B1},
    {"beta", 0x3B2},
    {"gamma", 0x3B3},
    {"delta", 0x3B4},
    {"epsilon", 0x3B5},
    {"zeta", 0x3B6},
    {"eta", 0x3B7},
    {"theta", 0x3B8},
    {"iota", 0x3B9},
    {"kappa", 0x3BA},
    {"lambda", 0x3BB},
    {"mu", 0x3BC},
    {"nu", 0x3BD},
    {"xi", 0x3BE},
    {"omicron", 0x3BF},
    {"pi", 0x3C0},
    {"rho", 0x3C1},
    {"sigmaf", 0x3C2},
    {"sigma", 0x3C3},
    {"tau", 0x3C4},
    {"upsilon", 0x3C5},
    {"phi", 0x3C6},
    {"chi", 0x3C7},
    {"psi", 0x3C8},
    {"omega", 0x3C9},
    {"thetasym", 0x3D1},
    {"upsih", 0x3D2},
    {"piv", 0x3D6},
};

// The names browsers accept without ";" (beside the Latin-1 ones).
constexpr Named kLegacyAscii[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'},
                                  {"AMP", '&'}, {"LT", '<'}, {"GT", '>'}, {"QUOT", '"'}};

struct Table {
  QHash<QString, char32_t> withSemicolon;
  QHash<QString, char32_t> legacy;  // also valid without ";"
};

const Table& table() {
  static const Table t = [] {
    Table built;
    for (std::size_t i = 0; i < kLatin1.size(); ++i)
      built.legacy.insert(QString::fromLatin1(kLatin1[i]), char32_t(0xA0 + i));
    for (const Named& n : kLegacyAscii)
      built.legacy.insert(QString::fromLatin1(n.name), n.character);
    // Upper-case spellings of the two signs pages write most.
    built.legacy.insert(QStringLiteral("COPY"), 0xA9);
    built.legacy.insert(QStringLiteral("REG"), 0xAE);
    built.withSemicolon = built.legacy;
    for (const Named& n : kOthers)
      built.withSemicolon.insert(QString::fromLatin1(n.name), n.character);
    return built;
  }();
  return t;
}

bool isAsciiAlnum(QChar c) {
  const char16_t u = c.unicode();
  return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

htmlentities::Reference numeric(QStringView text, qsizetype at) {
  qsizetype i = at + 2;
  const bool hex = i < text.size() && (text[i] == u'x' || text[i] == u'X');
  if (hex) ++i;
  const qsizetype digitsFrom = i;
  quint64 value = 0;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    int digit = -1;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    if (digit < 0) break;
    if (value <= 0x10FFFF) value = value * (hex ? 16 : 10) + quint64(digit);
  }
  if (i == digitsFrom) return {};  // "&#" with no digits is text
  if (i < text.size() && text[i] == u';') ++i;
  char32_t c = char32_t(value);
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    c = 0xFFFD;
  else if (value >= 0x80 && value <= 0x9F)
    c = charsets::fromWindows1252(static_cast<unsigned char>(value));
  return {c, i - at};
}

}  // namespace

namespace htmlentities {

Reference decodeAt(QStringView text, qsizetype at) {
  if (at + 1 >= text.size()) return {};
  if (text[at + 1] == u'#') return numeric(text, at);
  qsizetype end = at + 1;
  // The longest name in the table is short; a long run is no reference.
  while (end < text.size() && end - at <= 32 && isAsciiAlnum(text[end])) ++end;
  if (end == at + 1) return {};
  const Table& t = table();
  if (end < text.size() && text[end] == u';') {
    const auto found = t.withSemicolon.constFind(text.sliced(at + 1, end - at - 1).toString());
    if (found != t.withSemicolon.constEnd()) return {*found, end + 1 - at};
  }
  // Without ";" the longest legacy name that starts the run counts ("&copy2024").
  for (qsizetype len = std::min<qsizetype>(end - at - 1, 6); len >= 2; --len) {
    const auto found = t.legacy.constFind(text.sliced(at + 1, len).toString());
    if (found != t.legacy.constEnd()) return {*found, len + 1};
  }
  return {};
}

}  // namespace htmlentities
