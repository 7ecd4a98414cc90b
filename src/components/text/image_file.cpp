#include "text/image_file.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "text/markup_scan.h"

namespace imagefile {
namespace {

// Skips white space, an XML declaration, comments, processing instructions
// and a doctype, and returns the name of the root element.
QString rootElement(const QByteArray& b) {
  qsizetype i = b.startsWith("\xEF\xBB\xBF") ? 3 : 0;
  while (i < b.size()) {
    while (i < b.size() && (b[i] == ' ' || b[i] == '\t' || b[i] == '\r' || b[i] == '\n')) ++i;
    if (i >= b.size() || b[i] != '<') return {};
    if (markupscan::commentAt(QByteArrayView(b), i)) {
      const qsizetype end = markupscan::commentEnd(QByteArrayView(b), i);
      if (end < 0) return {};
      i = end;
    } else if (b.mid(i, 2) == "<?" || b.mid(i, 2) == "<!") {
      const qsizetype end = b.indexOf('>', i);
      if (end < 0) return {};
      i = end + 1;
    } else {
      qsizetype j = i + 1;
      while (j < b.size() && b[j] != ' ' && b[j] != '>' && b[j] != '/' && b[j] != '\t' &&
             b[j] != '\r' && b[j] != '\n')
        ++j;
      return QString::fromLatin1(b.mid(i + 1, j - i - 1));
    }
  }
  return {};
}

}  // namespace

QString kindOf(const QByteArray& b) {
  if (b.startsWith("\x89PNG\r\n\x1A\n")) return QStringLiteral("png");
  if (b.startsWith("\xFF\xD8\xFF")) return QStringLiteral("jpeg");
  if (b.startsWith("GIF87a") || b.startsWith("GIF89a")) return QStringLiteral("gif");
  if (b.size() >= 12 && b.startsWith("RIFF") && b.mid(8, 4) == "WEBP")
    return QStringLiteral("webp");
  const QString root = rootElement(b);
  if (root == u"svg" || root.endsWith(u":svg")) return QStringLiteral("svg");
  return {};
}

QString freeName(const QString& name, const std::function<bool(const QString&)>& exists) {
  if (!exists(name)) return name;
  const qsizetype dot = name.lastIndexOf(u'.');
  const QString stem = dot > 0 ? name.left(dot) : name;
  const QString ext = dot > 0 ? name.mid(dot) : QString();
  for (int n = 2;; ++n)
    if (const QString candidate = QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(ext);
        !exists(candidate))
      return candidate;
}

QString relativeSrc(const QString& pageFolder, const QString& file) {
  const QString rel = QDir(pageFolder).relativeFilePath(QFileInfo(file).absoluteFilePath());
  QStringList parts;
  for (const QString& part : QDir::fromNativeSeparators(rel).split(u'/'))
    parts << QString::fromLatin1(QUrl::toPercentEncoding(part));
  return parts.join(u'/');
}

}  // namespace imagefile
