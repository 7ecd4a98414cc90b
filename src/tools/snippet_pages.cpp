#include "tools/snippet_pages.h"

#include <QHash>

#include "files/history_action.h"
#include "files/v_file.h"
#include "tools/every_page.h"

namespace snippetpages {

QList<PageUse> usedOn(const QStringList& pages, const QStringList& versions) {
  QList<PageUse> out;
  out.reserve(pages.size());
  for (const QString& path : pages) {
    PageUse page;
    page.path = path;
    QByteArray bytes;
    if (const Status read = vFile::LoadBytes(bytes, path); !read) {
      page.failure = QStringLiteral("could not be read: ") + read.why();
    } else {
      page.size = bytes.size();
      page.fingerprint = qHash(bytes);
      page.use = snippetuse::find(bytes, versions);
      page.failure = page.use.refused;
    }
    out.append(std::move(page));
  }
  return out;
}

QString summary(const QList<PageUse>& pages) {
  int used = 0;
  int old = 0;
  for (const PageUse& p : pages) {
    if (!p.use.places.isEmpty()) ++used;
    if (p.use.old() > 0) ++old;
  }
  QString text = QStringLiteral("Used on %1 of %2 %3")
                     .arg(used)
                     .arg(pages.size())
                     .arg(pages.size() == 1 ? QStringLiteral("page") : QStringLiteral("pages"));
  if (old > 0)
    text += old == used ? QStringLiteral(", all with the old code")
                        : QStringLiteral(", %1 with the old code").arg(old);
  return text;
}

QList<PageUse> outdated(const QList<PageUse>& pages) {
  QList<PageUse> out;
  for (const PageUse& p : pages)
    if (p.use.old() > 0) out.append(p);
  return out;
}

QList<pagebatch::PageOutcome> update(const QList<PageUse>& pages, const QString& code) {
  QHash<QString, const PageUse*> byPath;
  QStringList paths;
  for (const PageUse& p : pages) {
    if (p.use.old() == 0 || byPath.contains(p.path)) continue;
    byPath.insert(p.path, &p);
    paths.append(p.path);
  }
  const history::Action action(QStringLiteral("My Code"));
  return everypage::editEach(paths, [&](const QString& path, const QByteArray& bytes) {
    const PageUse& searched = *byPath.value(path);
    pagebatch::PageEdit edit;
    // The places are those of the bytes that were searched: in other bytes
    // they would cut the page at random.
    if (bytes.size() != searched.size || qHash(bytes) != searched.fingerprint) {
      edit.refused = QStringLiteral("changed since it was searched");
      return edit;
    }
    edit.bytes = snippetuse::update(bytes, searched.use, code);
    edit.changes = searched.use.old();
    return edit;
  });
}

}  // namespace snippetpages
