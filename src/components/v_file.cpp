#include "components/v_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>

#include "components/page_history.h"
#include "components/v_file_faults.h"

namespace {

vFile::WriteFault& writeFault() {
  static vFile::WriteFault hook;
  return hook;
}

QString injectedFault(vFile::WriteStep step) {
  const vFile::WriteFault& hook = writeFault();
  return hook ? hook(step) : QString();
}

// Gives up a write: the temporary file goes, the file itself is untouched.
Status abandon(QSaveFile& file, const QString& why) {
  file.cancelWriting();
  return Status::failure(why);
}

constexpr char16_t kByteBase = 0xF700;  // byte b >= 0x80 is held as U+F700 + b
constexpr qsizetype kCharsetSniffLength = 16 * 1024;

bool isAscii(const QByteArray& bytes) {
  unsigned char any = 0;
  for (const char c : bytes) any |= static_cast<unsigned char>(c);
  return any < 0x80;
}

// An ASCII file is only known to be UTF-8 when it says so; otherwise a
// character added later is written as a character reference, which is right
// in any charset the page may be read in.
bool declaresUtf8(const QByteArray& bytes) {
  static const QRegularExpression charset(
      QStringLiteral(R"((?:charset|encoding)\s*=\s*["']?\s*([A-Za-z0-9._:-]+))"),
      QRegularExpression::CaseInsensitiveOption);
  const auto head = QString::fromLatin1(bytes.left(kCharsetSniffLength));
  const auto match = charset.match(head);
  if (!match.hasMatch()) return false;
  const QString name = match.captured(1).toLower();
  return name == u"utf-8" || name == u"utf8";
}

QString bytesToText(const QByteArray& bytes) {
  QString text = QString::fromLatin1(bytes);
  char16_t* data = reinterpret_cast<char16_t*>(text.data());
  for (qsizetype i = 0, n = text.size(); i < n; ++i)
    if (data[i] >= 0x80) data[i] = char16_t(data[i] + kByteBase);
  return text;
}

void appendCharacterReference(QByteArray& out, char32_t codePoint) {
  out += "&#";
  out += QByteArray::number(static_cast<uint>(codePoint));
  out += ';';
}

QByteArray textToBytes(const QString& text) {
  QByteArray out;
  out.reserve(text.size());
  const char16_t* data = reinterpret_cast<const char16_t*>(text.constData());
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = data[i];
    if (c < 0x80) {
      out += char(c);
    } else if (c >= kByteBase + 0x80 && c <= kByteBase + 0xFF) {
      out += char(c - kByteBase);
    } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(data[i + 1])) {
      appendCharacterReference(out, QChar::surrogateToUcs4(c, data[i + 1]));
      ++i;
    } else {
      appendCharacterReference(out, c);
    }
  }
  return out;
}

}  // namespace

namespace vFile {

TextBuffer decode(const QByteArray& bytes) {
  TextBuffer result;
  if (bytes.startsWith("\xEF\xBB\xBF")) {
    // The mark itself is cut off here; the decoder must not drop a second one,
    // which is text the file holds.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(QByteArrayView(bytes).sliced(3));
    if (!utf8.hasError()) {
      result.text = std::move(text);
      result.encoding = TextEncoding::Utf8Bom;
      return result;
    }
  } else if (isAscii(bytes)) {
    result.text = QString::fromLatin1(bytes);
    result.encoding = declaresUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Bytes;
    return result;
  } else {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
      result.text = std::move(text);
      result.encoding = TextEncoding::Utf8;
      return result;
    }
  }
  result.text = bytesToText(bytes);
  result.encoding = TextEncoding::Bytes;
  return result;
}

QByteArray encode(const TextBuffer& source) {
  switch (source.encoding) {
    case TextEncoding::Utf8:
      return source.text.toUtf8();
    case TextEncoding::Utf8Bom:
      return QByteArray("\xEF\xBB\xBF") + source.text.toUtf8();
    case TextEncoding::Bytes:
      return textToBytes(source.text);
  }
  return {};
}

Status LoadText(TextBuffer& target, const QString& path) {
  QByteArray bytes;
  if (Status read = LoadBytes(bytes, path); !read) return read;
  target = decode(bytes);
  return Status::success();
}

Status LoadBytes(QByteArray& target, const QString& path) {
  if (path.isEmpty()) return Status::failure(QStringLiteral("no file name was given"));
  const QFileInfo info(path);
  if (info.isDir()) return Status::failure(QStringLiteral("it is a folder, not a file"));
  if (!info.exists()) return Status::failure(QStringLiteral("the file does not exist"));
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return Status::failure(file.errorString());
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return Status::failure(file.errorString());
  target = bytes;
  return Status::success();
}

Status SaveText(const TextBuffer& source, const QString& path) {
  return SaveBytes(encode(source), path);
}

Status SaveBytes(const QByteArray& bytes, const QString& path) {
  if (path.isEmpty()) return Status::failure(QStringLiteral("no file name was given"));
  QString target = path;
  // A link stays a link: the file it points to is the one rewritten.
  for (int hops = 0; QFileInfo(target).isSymLink(); ++hops) {
    if (hops > 32) return Status::failure(QStringLiteral("the link points to itself"));
    target = QFileInfo(target).symLinkTarget();
  }
  const QFileInfo info(target);
  if (info.isDir()) return Status::failure(QStringLiteral("it is a folder, not a file"));
  // A file without write permission is refused even where the user could
  // override it (root): someone protected it on purpose.
  if (info.exists() && (!info.isWritable() || !(info.permissions() & QFile::WriteOwner)))
    return Status::failure(QStringLiteral("the file is read-only"));
  if (!info.dir().exists()) return Status::failure(QStringLiteral("its folder does not exist"));

  // The bytes about to be replaced go to the page's history first.
  if (Status kept = history::recordBeforeWrite(target, bytes); !kept) return kept;

  // Written beside the file and renamed over it, so a failure at any point
  // leaves the old file whole; QSaveFile keeps the old file's permissions.
  QSaveFile file(target);
  file.setDirectWriteFallback(false);
  if (QString why = injectedFault(WriteStep::Open); !why.isEmpty()) return Status::failure(why);
  if (!file.open(QIODevice::WriteOnly)) return Status::failure(file.errorString());
  if (QString why = injectedFault(WriteStep::Write); !why.isEmpty()) {
    file.write(bytes.first(bytes.size() / 2));  // cut short, as on a full disk
    return abandon(file, why);
  }
  if (file.write(bytes) != bytes.size()) return abandon(file, file.errorString());
  if (QString why = injectedFault(WriteStep::Flush); !why.isEmpty()) return abandon(file, why);
  if (!file.flush()) return abandon(file, file.errorString());
  if (QString why = injectedFault(WriteStep::Commit); !why.isEmpty()) return abandon(file, why);
  if (!file.commit()) return Status::failure(file.errorString());
  return Status::success();
}

void setWriteFault(WriteFault hook) { writeFault() = std::move(hook); }

}  // namespace vFile
