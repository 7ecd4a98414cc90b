#include "engine/page_scheme_handler.h"

#include <QBuffer>
#include <QFile>
#include <QWebEngineUrlRequestJob>

#include "engine/page_scheme.h"
#include "files/paths.h"
#include "files/v_file.h"

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
  // Where a file really is decides, and that place is what is opened: a link
  // inside the folder may point anywhere, or be pointed elsewhere once checked.
  const QString real =
      served->listed ? QString() : paths::regularFileInside(served->path, served->root);
  if (!served->listed && real.isEmpty()) {
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
  if (!vFile::OpenRegular(*file, real)) {
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  // The type by the name asked for: a link named .css is served as a style sheet.
  job->reply(pagescheme::mimeOf(served->path), file);
}
