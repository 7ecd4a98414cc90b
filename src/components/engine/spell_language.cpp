#include "engine/spell_language.h"

#include <QCoreApplication>
#include <QDir>

namespace spelllanguage {
namespace {

QString norm(QString s) { return s.replace(u'_', u'-').toLower().trimmed(); }

QString match(const QString& wanted, const QStringList& available) {
  const QString w = norm(wanted);
  if (w.isEmpty()) return {};
  for (const QString& a : available)
    if (norm(a) == w) return a;
  const QString primary = w.section(u'-', 0, 0);
  for (const QString& a : available)
    if (norm(a).section(u'-', 0, 0) == primary) return a;
  return {};
}

}  // namespace

QString pick(const QString& lang, const QString& system, const QStringList& available) {
  if (QString m = match(lang, available); !m.isEmpty()) return m;
  if (QString m = match(system, available); !m.isEmpty()) return m;
  return available.value(0);
}

QStringList installed(const QString& folder) {
  QStringList names;
  for (const QString& f :
       QDir(folder).entryList({QStringLiteral("*.bdic")}, QDir::Files, QDir::Name))
    names << f.chopped(5);
  return names;
}

QString folder() {
  const QString env = qEnvironmentVariable("QTWEBENGINE_DICTIONARIES_PATH");
  if (!env.isEmpty()) return env;
  return QCoreApplication::applicationDirPath() + QStringLiteral("/qtwebengine_dictionaries");
}

}  // namespace spelllanguage
