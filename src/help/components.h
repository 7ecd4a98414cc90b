#pragma once

#include <QList>
#include <QString>

// What Quorvane is built from, and under which licence each part comes, as
// About Quorvane lists it and the package's copyright file states it (the
// licence names are the short names that file uses).
struct Component final {
  QString name;
  QString use;
  QString licence;
};

namespace components {

inline constexpr auto kLicence = "GPL-3.0-or-later";
QList<Component> all();

}  // namespace components
