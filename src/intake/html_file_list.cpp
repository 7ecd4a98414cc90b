#include "intake/html_file_list.h"

#include <QDir>

#include "files/paths.h"
#include "intake/archive_names.h"

HtmlFileList::HtmlFileList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
}

void HtmlFileList::setPath(const QString& folder) {
  path_ = QDir::toNativeSeparators(folder);
  QDir dir(folder);
  // Name filters match without regard to letter case; hidden files and
  // folders named like pages stay out.
  dir.setNameFilters({QStringLiteral("*.htm"), QStringLiteral("*.html"), QStringLiteral("*.zip"),
                      QStringLiteral("*.rar"), QStringLiteral("*.7z"), QStringLiteral("*.tar.gz"),
                      QStringLiteral("*.tgz")});
  dir.setFilter(QDir::Files | QDir::NoDotAndDotDot);
  dir.setSorting(QDir::Name | QDir::IgnoreCase);
  const QStringList names = folder.isEmpty() ? QStringList() : dir.entryList();
  setUpdatesEnabled(false);
  clear();
  addItems(names);
  setUpdatesEnabled(true);
}

QStringList HtmlFileList::fullPaths() const {
  QStringList all;
  all.reserve(count());
  for (int i = 0; i < count(); ++i)
    if (!archivenames::isArchiveName(item(i)->text()))
      all.append(paths::joinOneSeparator(path_, item(i)->text(), QDir::separator()));
  return all;
}

QString HtmlFileList::selectedArchive() const {
  const QListWidgetItem* chosen = currentItem();
  if (!chosen || !chosen->isSelected() || !archivenames::isArchiveName(chosen->text())) return {};
  return paths::joinOneSeparator(path_, chosen->text(), QDir::separator());
}
