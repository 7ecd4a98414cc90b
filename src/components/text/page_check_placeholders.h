#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

// Text a page maker left for the buyer to replace: "[BUYBUTTON]",
// "[YOUR NAME]", "{{price}}", "INSERT YOUR LINK HERE", yourdomain.com,
// your@email.com, name@example.com.
namespace pagecheck {

struct Placeholder final {
  qsizetype at = 0;  // in the bytes searched
  QString found;     // as written
};

// Every placeholder in bytes[from, to), left to right, none overlapping.
void findPlaceholders(QByteArrayView bytes, qsizetype from, qsizetype to, QList<Placeholder>& out);

}  // namespace pagecheck
