#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QWidget>
#include <functional>
#include <future>
#include <optional>

#include "files/file_stamp.h"
#include "files/status.h"
#include "text/code_text.h"

class QLabel;
class QLineEdit;
class QTimer;
class QsciScintilla;
class EditSession;

// A code field as the code view shows code: HTML highlighted, folding, line
// numbers, and the characters that hide or turn text around made visible.
void setUpCodeEditor(QsciScintilla* editor);

// The page's code, byte for byte: the file decoded by its own charset, line
// breaks as the file has them, highlighted, with line numbers, folding, find
// (Ctrl+F, F3, Shift+F3) and go to line (Ctrl+G). It is text only: nothing of
// it ever runs. A save writes the file's own bytes with only the stretch the
// user changed re-encoded, through the edit session.
class CodeView final : public QWidget {
  Q_OBJECT
 public:
  explicit CodeView(EditSession* session, QWidget* parent = nullptr);

  // Shows the file's code; on failure shows nothing new and says why.
  [[nodiscard]] Status open(const QString& path);
  // Shows nothing.
  void clear();
  const QString& path() const { return path_; }
  bool isOpen() const { return !path_.isEmpty(); }

  // A page too big to hold beside the editor's text (over what the preview
  // takes): read into the editor piece by piece, read again at each save,
  // never previewed.
  bool big() const { return !held_; }

  // The text differs from the file's.
  bool modified() const;
  // The file's bytes for the text as it is now.
  QByteArray bytesNow() const;
  // Writes the text to the file; true once written or when nothing changed.
  // Messages (a failure, characters written as references) are shown here.
  bool save();
  // Asks "Save changes to X?" (Save, Discard, Cancel) when the text holds
  // edits; true when the caller may go on. Discard shows the file again.
  bool settle();

  QsciScintilla* editor() const { return txtCode; }
  // The text as the editor holds it (UTF-8), valid until it changes.
  QByteArrayView text() const;
  // Puts the caret at a byte of the text and shows it.
  void showAt(qsizetype position, qsizetype length = 0);

 signals:
  // The text changed and has rested for a moment: the preview may follow.
  void rested();
  void modificationChanged(bool modified);

 private:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void load(const QByteArray& file, codetext::Shown shown);
  // A big page read in pieces straight into the editor; nothing when its
  // charset makes it readable only whole.
  std::optional<Status> stream(const QString& path);
  // The editor emptied for text of size bytes, and done with it.
  void beginText(qsizetype size);
  void endText();
  void append(QByteArrayView text);
  void changing(int position, int type, int length);
  // The file's bytes and references for the text now.
  codetext::Saved encodeNow(const QByteArray& file) const;
  void openBar(bool gotoLine);
  void barEntered();
  void findAgain(bool forward);
  bool refuseReadOnly();
  // The save of a big page: only the changed stretch is read and written,
  // the rest copied from the file to the new one.
  bool saveBig();
  void afterBigSave(int references, bool showAgain);
  // The text now is what the file holds.
  void settled();
  void keepingPlace(const std::function<void()>& showAgain);
  void tellReferences(int references);

  EditSession* session_;
  QsciScintilla* txtCode = nullptr;
  QWidget* fraCodeFind = nullptr;
  QLabel* lblCodeFind = nullptr;
  QLineEdit* txtCodeFind = nullptr;
  QTimer* rest_ = nullptr;
  bool barGoesToLine_ = false;
  QString lastFind_;

  QString path_;
  QByteArray fileBytes_;  // the file as last read or written, unless big
  bool held_ = true;
  // How the file was shown; its text is kept only where positions cannot be
  // found from the file's bytes (a charset other than UTF-8, windows-1252
  // and UTF-16), so a big page is not held twice.
  codetext::Shown shown_;
  qsizetype shownSize_ = 0;
  // What changed since the file was shown: the text from changedFrom_ to
  // keptTail_ bytes before its end (the same tail in the file's text).
  qsizetype changedFrom_ = 0;
  qsizetype keptTail_ = 0;
  QDateTime fileTime_;
  // The file's stamp as read or written, and the checksum of those bytes
  // (worked out meanwhile): the history keeps them without reading the page.
  FileStamp stamp_;
  std::shared_future<QByteArray> sha256_;
  QString readOnlyWhy_;
  bool toldReadOnly_ = false;
  bool toldReferences_ = false;
};
