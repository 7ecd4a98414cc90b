#include "intake/archive_names.h"

#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <tuple>

namespace archivenames {
namespace {

// Code page 437 from 0x80 up; below that it is ASCII.
constexpr std::array<char16_t, 128> kCp437High{
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

// Room left under the 255-byte name limit of common file systems for the
// " (2)" a repeated name may get.
constexpr qsizetype kMaxNameBytes = 240;

const QString kArchiveSuffixes[] = {QStringLiteral(".tar.gz"), QStringLiteral(".tgz"),
                                    QStringLiteral(".zip"), QStringLiteral(".rar"),
                                    QStringLiteral(".7z")};

bool isForbidden(QChar c) {
  return c.category() == QChar::Other_Control || QStringView(u"<>:\"|?*").contains(c);
}

bool isDeviceName(const QString& name) {
  // Windows treats "con.txt" and "con .txt" as the device too.
  const QString stem = name.section(u'.', 0, 0).trimmed().toUpper();
  static const QStringList kDevices{QStringLiteral("CON"),    QStringLiteral("PRN"),
                                    QStringLiteral("AUX"),    QStringLiteral("NUL"),
                                    QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
  if (kDevices.contains(stem)) return true;
  return stem.size() == 4 && (stem.startsWith(u"COM") || stem.startsWith(u"LPT")) &&
         stem[3] >= u'1' && stem[3] <= u'9';
}

// Cuts the part before the extension until the name fits, never inside a
// surrogate pair.
QString shortened(const QString& name) {
  if (name.toUtf8().size() <= kMaxNameBytes) return name;
  const qsizetype dot = name.lastIndexOf(u'.');
  const QString ext = (dot > 0 && name.size() - dot <= 16) ? name.mid(dot) : QString();
  QString stem = name.left(name.size() - ext.size());
  while (!stem.isEmpty() && (stem + ext).toUtf8().size() > kMaxNameBytes) {
    stem.chop(1);
    if (!stem.isEmpty() && stem.back().isHighSurrogate()) stem.chop(1);
  }
  return stem + ext;
}

QString joined(const QString& parent, const QString& name) {
  return parent.isEmpty() ? name : parent + u'/' + name;
}

QString fileNameOf(const QString& path) { return path.section(u'/', -1); }

}  // namespace

QString fromCp437(const QByteArray& raw) {
  QString text;
  text.reserve(raw.size());
  for (const char byte : raw) {
    const auto b = static_cast<unsigned char>(byte);
    text.append(b < 0x80 ? QChar(b) : QChar(kCp437High[b - 0x80]));
  }
  return text;
}

QString decodeEntryName(const QByteArray& raw) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = utf8(raw);
  return utf8.hasError() ? fromCp437(raw) : text;
}

QStringList pathParts(const QString& name) {
  QStringList parts;
  qsizetype start = 0;
  for (qsizetype i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != u'/' && name[i] != u'\\') continue;
    const QStringView part = QStringView(name).mid(start, i - start);
    if (!part.isEmpty() && part != u".") parts.append(part.toString());
    start = i + 1;
  }
  return parts;
}

QString safeComponent(const QString& name) {
  QString safe = name;
  for (QChar& c : safe)
    if (isForbidden(c)) c = u'_';
  safe = shortened(safe);
  // Windows drops a trailing dot or space, which would make two names one.
  while (!safe.isEmpty() && (safe.back() == u'.' || safe.back() == u' ')) safe.chop(1);
  if (safe.isEmpty()) return QStringLiteral("_");
  if (isDeviceName(safe)) safe.prepend(u'_');
  return safe;
}

SafePath safeEntryPath(const QString& name) {
  SafePath result;
  if (name.startsWith(u'/') || name.startsWith(u'\\') ||
      (name.size() >= 2 && name[1] == u':' && name[0].isLetter())) {
    result.refusal = QStringLiteral("its path is absolute, pointing outside the folder");
    return result;
  }
  for (const QString& part : pathParts(name)) {
    if (part == u"..") {
      result.parts.clear();
      result.refusal = QStringLiteral("its path climbs out of the folder (\"..\")");
      return result;
    }
    result.parts.append(safeComponent(part));
  }
  if (result.parts.isEmpty()) result.refusal = QStringLiteral("it has no name");
  return result;
}

bool isArchiveName(const QString& fileName) {
  return std::any_of(std::begin(kArchiveSuffixes), std::end(kArchiveSuffixes),
                     [&](const QString& s) { return fileName.endsWith(s, Qt::CaseInsensitive); });
}

QString archiveStem(const QString& fileName) {
  const QString name = fileNameOf(QString(fileName).replace(u'\\', u'/'));
  for (const QString& s : kArchiveSuffixes)
    if (name.endsWith(s, Qt::CaseInsensitive) && name.size() > s.size())
      return name.left(name.size() - s.size());
  const qsizetype dot = name.lastIndexOf(u'.');
  return dot > 0 ? name.left(dot) : name;
}

bool isPageName(const QString& relativePath) {
  const QString name = fileNameOf(relativePath);
  if (name.startsWith(u"._") || relativePath.split(u'/').contains(u"__MACOSX")) return false;
  return name.endsWith(u".htm", Qt::CaseInsensitive) ||
         name.endsWith(u".html", Qt::CaseInsensitive);
}

QStringList orderPages(const QStringList& relativePaths) {
  QStringList pages;
  for (const QString& path : relativePaths)
    if (isPageName(path)) pages.append(path);
  auto depth = [](const QString& path) { return path.count(u'/'); };
  auto byDepthThenName = [&](const QString& a, const QString& b) {
    return std::forward_as_tuple(depth(a), a.toCaseFolded()) <
           std::forward_as_tuple(depth(b), b.toCaseFolded());
  };
  std::stable_sort(pages.begin(), pages.end(), byDepthThenName);

  auto isSalesName = [](const QString& path) {
    const QString stem = fileNameOf(path).section(u'.', 0, 0).toCaseFolded();
    return stem == u"index" || stem == u"sales";
  };
  auto saysSales = [](const QString& path) { return path.contains(u"sales", Qt::CaseInsensitive); };
  // Already by depth: the first candidate whose path says "sales", else the
  // shallowest candidate.
  auto sales = std::find_if(pages.begin(), pages.end(),
                            [&](const QString& p) { return isSalesName(p) && saysSales(p); });
  if (sales == pages.end()) sales = std::find_if(pages.begin(), pages.end(), isSalesName);
  if (sales != pages.end()) std::rotate(pages.begin(), sales, sales + 1);
  return pages;
}

QString NameTable::freeName(const QString& foldedParent, const QString& name) const {
  const qsizetype dot = name.lastIndexOf(u'.');
  const QString ext = dot > 0 ? name.mid(dot) : QString();
  const QString stem = name.left(name.size() - ext.size());
  for (int n = 2;; ++n) {
    const QString candidate = QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(ext);
    const QString key = foldedParent + u'/' + candidate.toCaseFolded();
    if (!placed_.contains(key) && !folders_.contains(key)) return candidate;
  }
}

QString NameTable::place(const QStringList& parts, bool isFolder) {
  QString given;        // the path given out so far
  QString foldedGiven;  // the same, case-folded, with a leading "/"
  for (qsizetype i = 0; i < parts.size(); ++i) {
    const QString& name = parts[i];
    const bool folder = isFolder || i + 1 < parts.size();
    const QString key = foldedGiven + u'/' + name.toCaseFolded();
    QString chosen;
    if (folder) {
      if (const auto alias = folders_.constFind(key); alias != folders_.cend()) {
        chosen = *alias;
      } else {
        const auto held = placed_.constFind(key);
        if (held == placed_.cend())
          chosen = joined(given, name);
        else if (held->folder)
          chosen = held->path;
        else  // a file holds the name
          chosen = joined(given, freeName(foldedGiven, name));
        folders_.insert(key, chosen);
        placed_.insert(u'/' + chosen.toCaseFolded(), {chosen, true});
      }
    } else {
      chosen = joined(given, placed_.contains(key) || folders_.contains(key)
                                 ? freeName(foldedGiven, name)
                                 : name);
      placed_.insert(u'/' + chosen.toCaseFolded(), {chosen, false});
    }
    given = chosen;
    foldedGiven = u'/' + chosen.toCaseFolded();
  }
  return given;
}

}  // namespace archivenames
