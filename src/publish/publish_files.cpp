#include "publish/publish_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include "files/checksum.h"
#include "files/paths.h"
#include "files/v_file.h"
#include "text/page_references.h"

namespace {

bool isStyleSheet(const QString& path) {
  return path.endsWith(QLatin1String(".css"), Qt::CaseInsensitive);
}

struct Collector final {
  std::vector<PublishFile> assets;
  std::vector<PublishFile> pageFiles;
  QSet<QString> remoteNames;
  QStringList* skipped = nullptr;

  bool add(const QString& local, const QString& remote, bool isPage) {
    if (remoteNames.contains(remote)) return false;
    remoteNames.insert(remote);
    PublishFile f;
    f.localPath = local;
    f.remotePath = remote;
    f.size = QFileInfo(local).size();
    f.sha256 = fileSha256(local);
    f.isPage = isPage;
    (isPage ? pageFiles : assets).push_back(f);
    return true;
  }

  void addReferences(const QList<pagerefs::Reference>& refs, const QString& fromFolder,
                     const QString& folder, int depth) {
    for (const pagerefs::Reference& ref : refs) {
      const auto rel = pagerefs::insideFolderPath(ref.value, fromFolder);
      if (!rel || remoteNames.contains(*rel)) continue;
      const QString local = paths::regularFileInside(folder + QLatin1Char('/') + *rel, folder);
      if (local.isEmpty()) {
        if (skipped && QFileInfo::exists(folder + QLatin1Char('/') + *rel)) *skipped << *rel;
        continue;
      }
      if (!add(local, *rel, false) || !isStyleSheet(*rel) || depth > 3) continue;
      QByteArray css;
      if (!vFile::LoadBytes(css, local)) continue;
      const QString cssFolder =
          rel->contains(QLatin1Char('/')) ? rel->section(QLatin1Char('/'), 0, -2) : QString();
      addReferences(pagerefs::inStyleSheet(css), cssFolder, folder, depth + 1);
    }
  }
};

}  // namespace

QByteArray fileSha256(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  checksum::Sha256 hash;
  if (!hash.addData(&file)) return {};
  return hash.result().toHex();
}

std::vector<PublishFile> filesToPublish(const QStringList& pages, QStringList* skipped) {
  Collector c;
  c.skipped = skipped;
  // Pages first, so a page that another page links to is listed as a page.
  std::vector<std::pair<QString, QByteArray>> read;
  for (const QString& page : pages) {
    const QFileInfo info(page);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    const QString local = folder.isEmpty() ? QString() : paths::regularFileInside(page, folder);
    QByteArray bytes;
    if (local.isEmpty() || !vFile::LoadBytes(bytes, local)) {
      if (skipped) *skipped << page;
      continue;
    }
    if (c.add(local, info.fileName(), true)) read.emplace_back(folder, std::move(bytes));
  }
  for (const auto& [folder, bytes] : read)
    c.addReferences(pagerefs::inPage(bytes), QString(), folder, 0);
  std::vector<PublishFile> all = std::move(c.assets);
  all.insert(all.end(), c.pageFiles.begin(), c.pageFiles.end());
  return all;
}
