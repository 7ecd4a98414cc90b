#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <atomic>

#include "files/page_limit.h"
#include "files/reference_files.h"
#include "text/page_check.h"

// The pages of the list checked before they go online, with the files they
// use on disk: what each page says (placeholders, payment links, title, alt,
// http://), and whether each local file it or its style sheets use is there
// under exactly that name. A file that cannot be read is a problem of its
// own; it never stops the check.
namespace sitecheck {

struct Options final {
  pagecheck::Identities mine;
  qint64 maxBytes = pagelimit::kMaxShownBytes;  // a larger file is not read
};

// A web address the pages use, and every place that uses it.
struct WebAddress final {
  struct Use final {
    QString file;
    QString page;
    int line = 0;
    pagecheck::Locator where;
  };
  QString address;
  QList<Use> uses;
};

// One check of a page list, a page at a time, so a window can show the
// problems as they are found and stop between two pages.
class Run final {
 public:
  Run(const QStringList& pages, Options options);

  qsizetype total() const { return pages_.size(); }
  qsizetype checked() const { return next_; }
  bool finished() const { return next_ >= pages_.size(); }

  // Checks the next page and the style sheets it uses that no page before
  // it used; its problems, in the order found.
  QList<pagecheck::Problem> next();

  // The web addresses of the pages checked so far, each once, in the order
  // first used.
  const QList<WebAddress>& webAddresses() const { return web_; }

 private:
  struct File final {
    QString path;    // as the list names it, or as found on disk
    QString folder;  // canonical folder
    QString page;    // the page to show for its problems
  };
  bool read(const File& file, QByteArray& bytes, QList<pagecheck::Problem>& out) const;
  void take(const File& file, pagecheck::FileFindings findings, QList<pagecheck::Problem>& out,
            QStringList chain);
  void styleSheet(const QString& path, const QString& page, QStringList chain,
                  QList<pagecheck::Problem>& out);
  QString rootOf(const QString& path) const;

  QStringList pages_;
  Options options_;
  QStringList roots_;  // canonical folders of the pages, none inside another
  qsizetype next_ = 0;
  reffiles::DiskLookup disk_;
  QSet<QString> styleSheets_;  // checked already
  QSet<QString> twins_;        // reported already
  QList<WebAddress> web_;
  QHash<QString, qsizetype> webIndex_;
};

// Every page at once (stopping early when cancel is set).
QList<pagecheck::Problem> checkPages(const QStringList& pages, const Options& options,
                                     const std::atomic_bool* cancel = nullptr);

qsizetype countOf(const QList<pagecheck::Problem>& problems, pagecheck::Severity severity);

// Where the check keeps the user's own payment identities, as typed.
QString defaultSettingsFile();
QString savedIdentities(const QString& settingsFile);
void saveIdentities(const QString& settingsFile, const QString& typed);

}  // namespace sitecheck
