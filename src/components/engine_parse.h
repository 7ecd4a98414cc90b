#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

class QObject;

// What the engine makes of a page's bytes with the page's scripts off: the
// root element's markup and the character set it read them in. Used to check
// bytes about to be written against the document they are meant to hold.
namespace engineparse {

struct Parsed final {
  QString markup;
  QString charset;
};

// Loads bytes in a hidden page of the previews' profile and hands back the
// result, or nullopt when they could not be loaded. Nothing is handed back
// once context is gone.
void parse(const QByteArray& bytes, QObject* context,
           std::function<void(std::optional<Parsed>)> done);

}  // namespace engineparse
