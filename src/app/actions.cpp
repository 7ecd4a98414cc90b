#include "app/actions.h"

#include <QSet>
#include <QStringList>

namespace actions {

QString keyText(const Action& action) {
  QStringList keys;
  for (const QKeySequence& k : action.keys) keys << k.toString(QKeySequence::NativeText);
  return keys.join(QStringLiteral(", "));
}

QString menuText(const Action& action) {
  const QString text = action.textNow ? action.textNow() : action.text;
  const QString keys = keyText(action);
  return keys.isEmpty() ? text : text + QLatin1Char('\t') + keys;
}

QString toolTip(const Action& action) {
  QString tip = action.tip;
  if (const QString keys = keyText(action); !keys.isEmpty())
    tip += QStringLiteral(" (%1)").arg(keys);
  if (const QString why = action.whyNot ? action.whyNot() : QString(); !why.isEmpty())
    tip += QStringLiteral("\nNot now: ") + why;
  return tip;
}

QStringList groups(const QList<Action>& list) {
  QStringList out;
  for (const Action& a : list)
    if (!out.contains(a.group)) out << a.group;
  return out;
}

const Action* find(const QList<Action>& list, const QString& name) {
  // Entries that only name keys have no name, and nothing finds them by it.
  if (name.isEmpty()) return nullptr;
  for (const Action& a : list)
    if (a.name == name) return &a;
  return nullptr;
}

const Action* forKey(const QList<Action>& list, const QKeySequence& press, QObject* target) {
  for (const Action& a : list) {
    if (!a.keys.contains(press)) continue;
    if (a.route == Action::Keys::First && (!a.takesKey || !a.takesKey(target))) continue;
    if (a.route == Action::Keys::Elsewhere) continue;
    return &a;
  }
  return nullptr;
}

QStringList clashes(const QList<Action>& list) {
  QStringList out;
  QSet<QString> seen;
  for (const Action& a : list) {
    // Keys of the page or the code mean another thing there, by design.
    if (a.route == Action::Keys::Elsewhere) continue;
    for (const QKeySequence& k : a.keys) {
      const QString key = k.toString(QKeySequence::PortableText);
      if (seen.contains(key)) out << a.name + QStringLiteral(": ") + key;
      seen.insert(key);
    }
  }
  return out;
}

}  // namespace actions
