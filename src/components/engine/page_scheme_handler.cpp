#include "engine/page_scheme_handler.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QWebEngineUrlRequestJob>

#include "engine/page_scheme.h"
#include "files/v_file.h"

namespace {

// Where a file really is must be inside the folder's tree, and not hidden
// there: a link inside the folder may point anywhere.
bool insideTree(const QString& path, const QString& root) {
  const QString real = QFileInfo(path).canonicalFilePath();
  QString realRoot = QFileInfo(root).canonicalFilePath();
  if (real.isEmpty() || realRoot.isEmpty()) return false;
  if (!realRoot.endsWith(u'/')) realRoot += u'/';
  if (!real.startsWith(realRoot)) return false;
  return pagescheme::servableComponents(real.mid(realRoot.size())).has_value();
}

QByteArray mimeOf(const QString& path) {
  static const QMimeDatabase types;
  const QMimeType type = types.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
  return type.isDefault() ? QByteArrayLiteral("application/octet-stream") : type.name().toUtf8();
}

}  // namespace

void PageSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
  const QUrl url = job->requestUrl();
  // The program's own loads come with no initiator; a page may ask only for
  // files of its own origin, so a page of one folder cannot pull in (and run)
  // another folder's scripts.
  const QUrl from = job->initiator();
  if (!from.isEmpty() &&
      (from.scheme() != QLatin1String(pagescheme::kScheme) || from.host() != url.host())) {
    job->fail(QWebEngineUrlRequestJob::RequestDenied);
    return;
  }
  const std::optional<pagescheme::Served> served = pagescheme::servedFor(url);
  if (!served) {
    job->fail(QWebEngineUrlRequestJob::RequestDenied);
    return;
  }
  if (!served->listed && !insideTree(served->path, served->root)) {
    job->fail(QWebEngineUrlRequestJob::RequestDenied);
    return;
  }
  if (served->listed) {
    // The page itself is read as every page is, whole and bounded.
    auto* page = new QBuffer(job);
    if (const std::optional<QByteArray> held = pagescheme::bytesFor(served->path))
      page->setData(*held);
    else if (!vFile::LoadBytes(page->buffer(), served->path)) {
      job->fail(QWebEngineUrlRequestJob::UrlNotFound);
      return;
    }
    page->open(QIODevice::ReadOnly);
    job->reply(QByteArrayLiteral("text/html"), page);
    return;
  }
  // Its images and videos may be large: they are streamed.
  auto* file = new QFile(job);
  if (!vFile::OpenRegular(*file, served->path)) {
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  job->reply(mimeOf(served->path), file);
}
