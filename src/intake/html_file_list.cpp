#include "intake/html_file_list.h"

#include <QDir>

#include "files/paths.h"

HtmlFileList::HtmlFileList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
}

void HtmlFileList::setPath(const QString& folder) {
  path_ = QDir::toNativeSeparators(folder);
  QDir dir(folder);
  // Name filters match without regard to letter case; hidden files and
  // folders named like pages stay out.
  dir.setNameFilters({QStringLiteral("*.htm"), QStringLiteral("*.html")});
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
    all.append(paths::joinOneSeparator(path_, item(i)->text(), QDir::separator()));
  return all;
}
