#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <optional>

class QWebEnginePage;

// What the engine makes of a page's bytes with the page's scripts off: the
// root element's markup and the character set it read them in. Used to check
// bytes about to be written against the document they are meant to hold.
namespace engineparse {

class HiddenPage;

struct Parsed final {
  QString markup;
  QString charset;
};

// A hidden page of the previews' profile kept for reading bytes, so that a
// check costs the parse and no more: its renderer is started once, ahead of
// the first check, and nothing but the document itself is fetched.
class Checker final : public QObject {
 public:
  // Starts the page's renderer at once.
  explicit Checker(QObject* parent = nullptr);
  ~Checker() override;

  // Loads bytes and hands back what the engine made of them, or nullopt when
  // they could not be loaded. A check asked for while another is under way
  // ends that one with nullopt. Nothing is handed back once the checker is gone.
  void parse(const QByteArray& bytes, std::function<void(std::optional<Parsed>)> done);

  // engineparse::parseDeclared in the checker's renderer, warm and idle
  // between checks; nullopt at once while a load of its own is under way.
  void parseDeclared(const QByteArray& bytes, const QByteArray& label, const QString& charset,
                     std::function<void(std::optional<Parsed>)> done);

 private:
  // Loads bytes under a name of their own.
  void load(const QByteArray& bytes);
  void ask();
  // What the page said of its document: handed back once it is the document loaded.
  void answer(const QVariantMap& page);
  void finish(std::optional<Parsed> parsed);

  QTemporaryDir dir_;
  HiddenPage* page_ = nullptr;
  // Each load has a file name of its own, so the document asked about is
  // known to be the new one and not the last check's.
  int round_ = 0;
  QString file_;
  QUrl url_;
  QTimer poll_;
  QTimer giveUp_;
  bool asking_ = false;
  bool settled_ = false;  // the last load's document is the one in the page
  QString token_;         // marks the page's messages that come from this checker
  std::function<void(std::optional<Parsed>)> done_;
};

// What Checker::parse answers, without loading the bytes, for bytes whose
// character set is settled by their first bytes (earlycharset::labelOf gives
// `label`): `page`'s renderer decodes them as `label` and parses them as a
// page with scripts off is parsed, in the program's own world. nullopt when
// `label` is not the engine's name for `charset`, or for a page holding what
// this parse reads otherwise than a load (shadow roots declared in markup):
// ask Checker::parse then.
void parseDeclared(QWebEnginePage* page, const QByteArray& bytes, const QByteArray& label,
                   const QString& charset, std::function<void(std::optional<Parsed>)> done);

}  // namespace engineparse
