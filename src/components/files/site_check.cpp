#include "files/site_check.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "files/v_file.h"

namespace sitecheck {

using pagecheck::Kind;
using pagecheck::Problem;
using pagecheck::Severity;

namespace {

// A style sheet importing another, and so on: deeper than this is no real site.
constexpr int kMaxImportDepth = 16;

QString canonicalFolderOf(const QString& path) {
  const QString folder = QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath();
  return folder.isEmpty() ? QFileInfo(path).absolutePath() : folder;
}

QString megabytes(qint64 bytes) { return QString::number((bytes + (1 << 20) - 1) >> 20); }

Problem problem(const QString& file, const QString& page, int line, Severity s, Kind k,
                const QString& detail, const pagecheck::Locator& where = {}) {
  Problem p;
  p.file = file;
  p.page = page;
  p.line = line;
  p.severity = s;
  p.kind = k;
  p.detail = detail;
  p.where = where;
  return p;
}

}  // namespace

Run::Run(const QStringList& pages, Options options) : options_(std::move(options)) {
  // The same file twice in the list (or under two names) is checked once.
  QSet<QString> seen;
  QStringList folders;
  for (const QString& page : pages) {
    const QString canonical = QFileInfo(page).canonicalFilePath();
    const QString key = canonical.isEmpty() ? page : canonical;
    if (page.isEmpty() || seen.contains(key)) continue;
    seen.insert(key);
    pages_ << page;
    folders << canonicalFolderOf(page);
  }
  folders.removeDuplicates();
  std::sort(folders.begin(), folders.end());
  for (const QString& f : folders)
    if (roots_.isEmpty() || !(f == roots_.last() || f.startsWith(roots_.last() + u'/')))
      roots_ << f;
}

QString Run::rootOf(const QString& path) const {
  for (const QString& root : roots_)
    if (path.startsWith(root + u'/')) return root;
  return {};
}

bool Run::read(const File& file, QByteArray& bytes, QList<Problem>& out) const {
  const bool page = file.path == file.page;
  const QString what = page ? QStringLiteral("page") : QStringLiteral("file");
  if (!QFileInfo::exists(file.path) && !QFileInfo(file.path).isSymLink()) {
    out << problem(file.path, file.page, 0, Severity::Error, Kind::MissingFile,
                   QStringLiteral("the %1 does not exist").arg(what));
    return false;
  }
  if (const Status s = vFile::LoadHead(bytes, file.path, options_.maxBytes + 1); !s) {
    out << problem(file.path, file.page, 0, Severity::Error, Kind::NotChecked,
                   QStringLiteral("the %1 could not be read: %2").arg(what, s.why()));
    return false;
  }
  if (bytes.size() > options_.maxBytes) {
    out << problem(file.path, file.page, 0, Severity::Warning, Kind::NotChecked,
                   QStringLiteral("the %1 is too large to check (over %2 MB)")
                       .arg(what, megabytes(options_.maxBytes)));
    return false;
  }
  if (bytes.contains('\0')) {
    out << problem(file.path, file.page, 0, Severity::Warning, Kind::NotChecked,
                   QStringLiteral("the %1 is not text (it holds NUL bytes)").arg(what));
    return false;
  }
  return true;
}

QList<Problem> Run::next() {
  QList<Problem> out;
  if (finished()) return out;
  const QString page = pages_[next_++];
  const File file{page, canonicalFolderOf(page), page};
  QByteArray bytes;
  if (!read(file, bytes, out)) return out;
  take(file, pagecheck::checkPage(bytes, options_.mine), out, {});
  return out;
}

// Everything found in one file without the disk, then its local files looked up.
void Run::take(const File& file, pagecheck::FileFindings findings, QList<Problem>& all,
               QStringList chain) {
  QList<Problem> out;
  QStringList styleSheets;
  for (Problem& p : findings.problems) {
    p.file = file.path;
    p.page = file.page;
    out << std::move(p);
  }
  for (const pagecheck::WebUse& w : std::as_const(findings.web)) {
    auto it = webIndex_.constFind(w.address);
    if (it == webIndex_.constEnd()) {
      it = webIndex_.insert(w.address, web_.size());
      web_.append(WebAddress{w.address, {}});
    }
    web_[*it].uses.append({file.path, file.page, w.line, w.where});
  }
  for (const pagecheck::LocalUse& use : std::as_const(findings.locals)) {
    const QString target = QDir::cleanPath(file.folder + u'/' + use.path);
    const QString root = rootOf(target);
    const auto report = [&](Severity s, Kind k, const QString& detail) {
      out << problem(file.path, file.page, use.line, s, k, detail, use.where);
    };
    if (root.isEmpty()) {
      // Not looked up: a stranger's page may name any place on the disk.
      report(Severity::Warning, Kind::OutsideFolders,
             QStringLiteral("%1 is outside the folders of your pages, so it does not go online "
                            "with them")
                 .arg(use.reference));
      continue;
    }
    const reffiles::DiskLookup::Result r = disk_.find(root, target.mid(root.size() + 1));
    for (const QString& pair : r.twins) {
      if (twins_.contains(root + pair)) continue;
      twins_.insert(root + pair);
      report(Severity::Warning, Kind::CaseTwins,
             QStringLiteral("%1 differ only in letter case: Windows and macOS keep only one of "
                            "them")
                 .arg(pair.split(u'|').join(QStringLiteral(" and "))));
    }
    using State = reffiles::DiskLookup::State;
    switch (r.state) {
      case State::Found:
        if (use.styleSheet || r.file.endsWith(u".css", Qt::CaseInsensitive)) {
          if (chain.size() >= kMaxImportDepth) break;
          if (chain.contains(r.file)) {
            report(Severity::Warning, Kind::StyleSheetCycle,
                   chain.last() == r.file
                       ? QStringLiteral("%1 imports itself").arg(use.reference)
                       : QStringLiteral("%1 imports a style sheet that imports it")
                             .arg(use.reference));
            break;
          }
          styleSheets << r.file;
        }
        break;
      case State::Folder:
        break;
      case State::Missing:
        report(Severity::Error, Kind::MissingFile,
               QStringLiteral("%1 is not there").arg(use.reference));
        break;
      case State::LetterCase:
        report(Severity::Error, Kind::LetterCase,
               QStringLiteral("%1 is spelled %2 on disk: a web host will not find it")
                   .arg(use.reference, r.onDisk));
        break;
      case State::NotRegular:
        report(Severity::Error, Kind::MissingFile,
               QStringLiteral("%1 is not a regular file").arg(use.reference));
        break;
      case State::LeavesFolder:
        report(Severity::Warning, Kind::OutsideFolders,
               QStringLiteral("%1 is a link to a place outside the folders of your pages, so it "
                              "does not go online with them")
                   .arg(use.reference));
        break;
      case State::Hidden:
        report(Severity::Error, Kind::MissingFile,
               QStringLiteral("%1 is a hidden file (its name starts with a dot), which is not "
                              "published")
                   .arg(use.reference));
        break;
    }
  }
  // A file's problems in the order of its lines, then those of its style sheets.
  std::stable_sort(out.begin(), out.end(),
                   [](const Problem& a, const Problem& b) { return a.line < b.line; });
  all << out;
  for (const QString& css : std::as_const(styleSheets)) styleSheet(css, file.page, chain, all);
}

void Run::styleSheet(const QString& path, const QString& page, QStringList chain,
                     QList<Problem>& out) {
  if (styleSheets_.contains(path)) return;
  styleSheets_.insert(path);
  const File file{path, canonicalFolderOf(path), page};
  QByteArray bytes;
  if (!read(file, bytes, out)) return;
  chain << path;
  take(file, pagecheck::checkStyleSheet(bytes), out, chain);
}

QList<Problem> checkPages(const QStringList& pages, const Options& options,
                          const std::atomic_bool* cancel) {
  Run run(pages, options);
  QList<Problem> out;
  while (!run.finished() && !(cancel && cancel->load())) out << run.next();
  return out;
}

qsizetype countOf(const QList<Problem>& problems, Severity severity) {
  return std::count_if(problems.begin(), problems.end(),
                       [severity](const Problem& p) { return p.severity == severity; });
}

QString defaultSettingsFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Quorvane/check.ini");
}

QString savedIdentities(const QString& settingsFile) {
  return QSettings(settingsFile, QSettings::IniFormat)
      .value(QStringLiteral("check/mine"))
      .toString();
}

void saveIdentities(const QString& settingsFile, const QString& typed) {
  QSettings settings(settingsFile, QSettings::IniFormat);
  settings.setValue(QStringLiteral("check/mine"), typed);
  settings.sync();
}

}  // namespace sitecheck
