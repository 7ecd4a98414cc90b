#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// Checking a page before it goes online, from its bytes alone: leftover
// placeholders, payment links and whom they pay, a missing title, images
// without alt text, http:// resources; and which local files and web
// addresses it uses, for the checks that need the disk or the network.
namespace pagecheck {

enum class Severity { Error, Warning, Note };

enum class Kind {
  MissingFile,      // a local file the page uses is not there
  LetterCase,       // the file is there under another letter case
  CaseTwins,        // two files whose names differ only in letter case
  Placeholder,      // [YOUR NAME], {{…}}, INSERT … HERE, yourdomain.com …
  PaymentLink,      // whom a payment link pays (the user named no account yet)
  ForeignPayment,   // a payment link to an account that is not the user's
  NoTitle,          // a page without a title
  NoAlt,            // an image without alt text
  OutsideFolders,   // a local file or page outside the folders of the list
  HttpResource,     // a picture, script or style loaded over plain http://
  BrokenWebLink,    // a web address that answers with an error or not at all
  StyleSheetCycle,  // a style sheet that imports itself, directly or not
  NotChecked,       // a file that could not be read or is no text page
};

// What the user reads in the list's "Problem" and "Severity" columns.
QString kindText(Kind kind);
QString severityText(Severity severity);

// How to find the place again in the shown document: an element by one of
// its attributes, or a text.
struct Locator final {
  QString attribute;  // lower-case name; with value
  QString value;      // the attribute's whole value
  QString text;       // else a text shown on the page
};

struct Problem final {
  QString file;  // the page or style sheet it is in
  int line = 0;  // 1-based; 0 for the file as a whole
  Severity severity = Severity::Warning;
  Kind kind = Kind::NotChecked;
  QString detail;
  QString page;  // the page to show for it (the one using a style sheet)
  Locator where;
};

// The user's own payment identities (e-mail addresses, account and
// affiliate IDs), compared without regard to letter case.
class Identities final {
 public:
  Identities() = default;
  // Comma-separated, as typed; blanks around each are dropped.
  explicit Identities(const QString& typed);
  bool isEmpty() const { return ids_.isEmpty(); }
  bool contains(const QString& account) const;

 private:
  QStringList ids_;  // lower case
};

// A file a page or style sheet uses, as written there.
struct LocalUse final {
  QString path;  // relative, '/'-separated, decoded; may climb with ".."
  QString reference;
  int line = 0;
  bool styleSheet = false;  // a linked style sheet or an @import
  bool page = false;        // a link to another page (.htm, .html)
  Locator where;
};

struct WebUse final {
  QString address;  // absolute http(s) address, without its fragment
  int line = 0;
  Locator where;
};

struct FileFindings final {
  QList<Problem> problems;  // file and page are left empty for the caller
  QList<LocalUse> locals;
  QList<WebUse> web;
};

// A page: placeholders, payment links against mine, title, alt, http://.
FileFindings checkPage(QByteArrayView page, const Identities& mine);
// A style sheet: its http:// resources, local files and web addresses.
FileFindings checkStyleSheet(QByteArrayView css);

// The 1-based line of a byte offset; lines end at LF, or at CR in a file
// without any LF.
class LineIndex final {
 public:
  explicit LineIndex(QByteArrayView bytes);
  int lineAt(qsizetype offset) const;

 private:
  QList<qsizetype> starts_;
};

}  // namespace pagecheck
