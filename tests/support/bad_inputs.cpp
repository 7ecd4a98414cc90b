#include "support/bad_inputs.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>

#include "support/test_files.h"

namespace badinputs {

const QByteArray kPage =
    "<html><head><title>Sales</title></head>\n"
    "<body><p id=\"first\">Buy now</p><p>[BUYBUTTON]</p></body></html>\n";

QStringList kinds() {
  return {QStringLiteral("missing file"),
          QStringLiteral("folder"),
          QStringLiteral("read-only file"),
          QStringLiteral("read-only folder"),
          QStringLiteral("symbolic link"),
          QStringLiteral("0-byte file"),
          QStringLiteral("binary file"),
          QStringLiteral("invalid UTF-8"),
          QStringLiteral("200 MB page"),
          QStringLiteral("path with spaces, quotes and non-ASCII"),
          QStringLiteral("deleted between listed and used"),
          QStringLiteral("named pipe"),
          QStringLiteral("link to a device")};
}

namespace {

Input file(const QString& path, const QByteArray& bytes) {
  testfiles::write(path, bytes);
  return {path, path, bytes, {}, false};
}

// Made once: writing 200 MB takes a second or two.
QByteArray bigPageBytes() {
  const QByteArray line = "<p>Order today: caf\xC3\xA9, bonus pack, instant delivery.</p>\n";
  return "<html><head><meta charset=\"utf-8\"><title>Big</title></head><body>\n" +
         line.repeated((200 * 1024 * 1024 - 200) / line.size()) +
         "<p>[BUYBUTTON]</p></body></html>\n";
}

}  // namespace

Input make(const QString& kind, const QString& dir, const QString& bigDir) {
  const QString page = QDir(dir).filePath(QStringLiteral("page.htm"));
  if (kind == u"missing file") return {page, page, {}, {}, false};
  if (kind == u"folder") {
    QDir(dir).mkdir(QStringLiteral("page.htm"));
    return {page, page, {}, {}, false};
  }
  if (kind == u"read-only file") {
    Input in = file(page, kPage);
    QFile::setPermissions(page, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    return in;
  }
  if (kind == u"read-only folder") {
    const QString folder = QDir(dir).filePath(QStringLiteral("locked"));
    QDir(dir).mkdir(QStringLiteral("locked"));
    Input in = file(QDir(folder).filePath(QStringLiteral("page.htm")), kPage);
    // The file itself may be written by anyone: only the folder says no.
    QFile::setPermissions(in.path, QFile::Permissions(0x6666));
    in.denied = {folder};
    return in;
  }
  if (kind == u"symbolic link") {
    const QString target = QDir(dir).filePath(QStringLiteral("real page.htm"));
    testfiles::write(target, kPage);
    QFile::link(target, page);
    return {page, target, kPage, {}, false};
  }
  if (kind == u"0-byte file") return file(page, {});
  if (kind == u"binary file")
    return file(page, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xFF\xFE\x01", 20) + kPage +
                          QByteArray("\0\x80\xFF", 3));
  if (kind == u"invalid UTF-8")
    return file(page, QByteArray(kPage).replace("<title>Sales", "<title>Caf\xE9 \xFF sale"));
  if (kind == u"200 MB page") {
    const QString big = QDir(bigDir).filePath(QStringLiteral("big.htm"));
    if (!QFile::exists(big)) testfiles::write(big, bigPageBytes());
    return {big, big, {}, {}, false};  // too big to compare byte for byte
  }
  if (kind == u"path with spaces, quotes and non-ASCII") {
    const QString folder = QDir(dir).filePath(QStringLiteral("my \"best\" pägés"));
    QDir(dir).mkdir(QStringLiteral("my \"best\" pägés"));
    return file(QDir(folder).filePath(QStringLiteral("it's a “sale” – ü.htm")), kPage);
  }
  // Reading either would block for ever, or never end.
  if (kind == u"named pipe") {
    ::mkfifo(QFile::encodeName(page).constData(), 0644);
    return {page, page, {}, {}, false};
  }
  if (kind == u"link to a device") {
    QFile::link(QStringLiteral("/dev/zero"), page);
    return {page, page, {}, {}, false};
  }
  if (kind == u"deleted between listed and used") {
    Input in = file(page, kPage);
    in.deleteBeforeUse = true;
    return in;
  }
  return {};
}

}  // namespace badinputs
