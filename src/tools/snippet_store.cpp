#include "tools/snippet_store.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include "files/v_file.h"

namespace {

// The codes may hold account numbers and prices: the user's alone.
constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions kOwnerOnlyFolder = kOwnerOnly | QFile::ExeOwner;
constexpr int kFormat = 1;

QString& fileInForce() {
  static QString path;
  return path;
}

QString numbered(const QString& name, int n) { return QStringLiteral("%1 (%2)").arg(name).arg(n); }

bool nameTaken(const QList<Snippet>& list, const QString& name) {
  for (const Snippet& s : list)
    if (s.name == name) return true;
  return false;
}

}  // namespace

namespace snippetstore {

void setFile(const QString& path) { fileInForce() = path; }
QString file() { return fileInForce(); }

QString standardFile() {
  return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
         QStringLiteral("/snippets.json");
}

QByteArray toBytes(const QList<Snippet>& snippets) {
  QJsonArray list;
  for (const Snippet& s : snippets) {
    QJsonObject o{{QStringLiteral("name"), s.name}, {QStringLiteral("code"), s.code}};
    if (!s.earlier.isEmpty())
      o.insert(QStringLiteral("earlier"), QJsonArray::fromStringList(s.earlier));
    list.append(o);
  }
  const QJsonObject root{{QStringLiteral("format"), kFormat}, {QStringLiteral("snippets"), list}};
  return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<QList<Snippet>> fromBytes(const QByteArray& bytes, QString* why) {
  const auto fail = [why](const QString& reason) {
    if (why) *why = reason;
    return std::nullopt;
  };
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
  if (error.error != QJsonParseError::NoError)
    return fail(QStringLiteral("it is not a My Code file (%1 at byte %2)")
                    .arg(error.errorString())
                    .arg(error.offset));
  const QJsonObject root = doc.object();
  if (!doc.isObject() || !root.value(QStringLiteral("snippets")).isArray())
    return fail(QStringLiteral("it is not a My Code file"));
  if (root.value(QStringLiteral("format")).toInt() > kFormat)
    return fail(QStringLiteral("it was written by a newer version of Quorvane"));
  QList<Snippet> out;
  for (const QJsonValue& v : root.value(QStringLiteral("snippets")).toArray()) {
    const QJsonObject o = v.toObject();
    const QJsonValue name = o.value(QStringLiteral("name"));
    const QJsonValue code = o.value(QStringLiteral("code"));
    if (!v.isObject() || !name.isString() || !code.isString())
      return fail(QStringLiteral("snippet %1 has no name or no code").arg(out.size() + 1));
    Snippet s{name.toString(), code.toString(), {}};
    for (const QJsonValue& e : o.value(QStringLiteral("earlier")).toArray())
      if (e.isString() && s.earlier.size() < kEarlierKept) s.earlier.append(e.toString());
    out.append(std::move(s));
  }
  return out;
}

Loaded load(const QString& path) {
  Loaded loaded;
  if (path.isEmpty() || !QFileInfo::exists(path)) return loaded;
  QByteArray bytes;
  if (const Status read = vFile::LoadBytes(bytes, path); !read) {
    loaded.why = read.why();
    loaded.blocked = true;
    return loaded;
  }
  QString why;
  if (std::optional<QList<Snippet>> list = fromBytes(bytes, &why)) {
    loaded.snippets = std::move(*list);
    return loaded;
  }
  loaded.why = why;
  // Kept whole under another name for the user (or us) to look at; the list
  // starts empty only once the old file is safe.
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QString aside = path + QStringLiteral(".damaged-") + stamp;
  for (int n = 2; QFileInfo::exists(aside); ++n)
    aside = path + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
  if (QFile::rename(path, aside))
    loaded.setAside = aside;
  else
    loaded.blocked = true;
  return loaded;
}

Status save(const QList<Snippet>& snippets, const QString& path) {
  if (path.isEmpty()) return Status::failure(QStringLiteral("no place to keep them was chosen"));
  const QString folder = QFileInfo(path).absolutePath();
  if (!QFileInfo::exists(folder)) {
    if (!QDir().mkpath(folder))
      return Status::failure(QStringLiteral("the folder %1 could not be created")
                                 .arg(QDir::toNativeSeparators(folder)));
    QFile::setPermissions(folder, kOwnerOnlyFolder);
  }
  const Status written = vFile::WriteWhole(toBytes(snippets), path, {kOwnerOnly, {}});
  // A file that was there keeps its permissions through the write; this one
  // is ours, and stays the user's alone.
  constexpr QFile::Permissions kOthers = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                         QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
  if (written && (QFile::permissions(path) & kOthers)) QFile::setPermissions(path, kOwnerOnly);
  return written;
}

Snippet withCode(Snippet snippet, const QString& code) {
  if (code == snippet.code) return snippet;
  snippet.earlier.removeAll(code);
  snippet.earlier.removeAll(snippet.code);
  if (!snippet.code.trimmed().isEmpty()) snippet.earlier.prepend(snippet.code);
  while (snippet.earlier.size() > kEarlierKept) snippet.earlier.removeLast();
  snippet.code = code;
  return snippet;
}

QStringList merge(QList<Snippet>& into, const QList<Snippet>& imported) {
  QStringList added;
  for (Snippet s : imported) {
    s.earlier.clear();
    bool same = false;
    for (const Snippet& have : into) same = same || (have.name == s.name && have.code == s.code);
    if (same) continue;
    if (nameTaken(into, s.name)) {
      int n = 2;
      while (nameTaken(into, numbered(s.name, n))) ++n;
      s.name = numbered(s.name, n);
    }
    added.append(s.name);
    into.append(std::move(s));
  }
  return added;
}

Notifier* Notifier::instance() {
  static Notifier notifier;
  return &notifier;
}

}  // namespace snippetstore
