#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

#include "editor/editing_state.h"
#include "files/file_stamp.h"
#include "files/status.h"
#include "files/unsaved_edits.h"
#include "files/v_file.h"
#include "text/code_text.h"
#include "text/page_text.h"
#include "text/text_buffer.h"
#include "widgets/msg_box.h"

class QWebEnginePage;
namespace engineparse {
class Checker;
}
class QWidget;
class UnsavedKeeper;

// One edit of one page file, from "Edit Page" until the edits are saved or
// discarded. It knows what the edit began from (the file's bytes as read, the
// engine's markup and charset of them) and is the one way an edit reaches
// the file: both save methods and every tool that rewrites a page go through
// it, with the same guarantees. Only the edited stretches are written where
// the engine reads the result as the edited page; otherwise the whole page.
// A file changed by another program meanwhile is not overwritten unasked,
// and a failed save keeps the edits in the editor.
class EditSession final : public QObject {
  Q_OBJECT
 public:
  // Messages are shown over owner's window; state says what the page is
  // doing, and the session moves it through editing, asking and saving.
  EditSession(EditingState* state, QWidget* owner);

  // page shows the document loaded from path and becomes editable now. The
  // first call of an edit reads the file and the markup before any change.
  void edit(const QString& path, QWebEnginePage* page);
  // The document is gone (replaced, or its renderer died): whatever is
  // pending for it is dropped. The state is moved on by whoever replaced it.
  // The copy kept against a crash goes too, unless keepCopy (a renderer
  // that died took the edits with it: the copy is all that is left).
  void end(bool keepCopy = false);
  // The next edit of kept's page takes up that edit left unsaved by an
  // earlier run: the document shows the kept one and a save writes its
  // changes to what the file held then (asking if it changed since).
  void recover(unsavededits::Kept kept);
  // What keeps the document against a crash while it is edited.
  UnsavedKeeper* keeper() const { return keeper_; }
  // An edit is under way: the document shown holds it.
  bool active() const;
  // The file the edit writes to.
  const QString& path() const { return path_; }

  // Whether the document was changed since it became editable.
  void readChanged(std::function<void(bool)> done) const;
  // The user has saved or discarded the edits: leaving asks nothing now.
  void forgetEdits();

  // A question or a save is under way.
  bool busy() const;

  enum class Leave { Go, Stay };
  // When the document holds edits, asks "Save changes to X?" (buttons as
  // given): Save saves, Discard goes on without, Cancel stays.
  void offerSave(MsgButtons buttons, std::function<void(Leave)> done);

  // Writes the edits to the file now; done(true) once written (or when
  // there was nothing to write). From the start of the save until the page
  // is shown again the document takes no input: inputBlocked(true) is
  // emitted at once, and only a save that does not happen gives it back.
  void save(std::function<void(bool saved)> done);

  // Before another window rewrites the page's file: edits are saved (Save),
  // dropped (Discard), or the rewrite is called off (Cancel), so neither
  // overwrites the other. done(true) means go on; it runs at once when
  // nothing is edited. On Save or Discard the file is shown again
  // (showAgain) so discarded edits cannot come back with a later save.
  void settleEdits(std::function<void(bool proceed)> done);

  // Closing the program: true when the document may go now. Otherwise the
  // user is asked (Save, Discard, Cancel) and closeAgain runs once it may.
  bool readyToClose(std::function<void()> closeAgain);

  // A save from the code view: after is the file's new content, made from
  // before, the file as read at readAt. A file another program changed since
  // is not overwritten unasked; the page's history names the write "Code".
  // known (may be null) is what the view knew of the file as it read it.
  // Failures are shown; true once written.
  bool saveCode(const QString& path, const QByteArray& before, const QDateTime& readAt,
                const QByteArray& after, const KnownBytes* known = nullptr);

  // Saves from the code view of a page it does not hold (CodeView::big):
  // the splice goes into the file known.stamp describes, which the view
  // found to be the one it showed; or after overwrites a file changed since,
  // as the user said to. As saveCode otherwise.
  bool saveCodeSplice(const QString& path, const vFile::Splice& splice, const KnownBytes& known);
  bool overwriteCode(const QString& path, const QByteArray& after);

  // The document as its file should hold it written whole: the file's own
  // prologue and line breaks, the root element with every edit, in the
  // page's charset.
  using PageTextDone = std::function<void(const Status&, const TextBuffer&)>;
  void readPageText(PageTextDone done);

  // How the last save was written: only the edited stretches put into the
  // file's own bytes, or the whole page (and why).
  struct SaveWay {
    bool minimal = false;
    QString why;
  };
  const SaveWay& lastSaveWay() const { return lastSaveWay_; }

 signals:
  // The document must take no input (a save is under way), or may again.
  void inputBlocked(bool blocked);
  // A save failed or was called off: the edits stay, editing goes on (the
  // state says so too).
  void EditsKept();
  // The edits were settled for a tool: show the file as it is now.
  void showAgain(const QString& path);

 private:
  using DocumentDone =
      std::function<void(const Status&, const QString& markup, const QString& charset)>;
  // Runs one of the program's page scripts that answers {markup, charset}.
  void readDocument(const QString& function, DocumentDone done);
  bool changedOnDisk() const;
  // The file's bytes as the edit began (or was last saved), and how a
  // UTF-16 page's stand as UTF-8: the stretches of a save are found there.
  void setFileBytes(std::optional<QByteArray> bytes);
  const QByteArray& workBytes() const;
  QString workCharset(const QString& charset) const;
  QByteArray toFile(const QByteArray& work) const;
  void keepFrom(const QString& markup, const QString& charset);
  std::optional<QByteArray> wholePage(const QString& markup, const QString& charset) const;
  void writeEdits(const QString& markup, const QString& charset,
                  std::function<void(bool saved)> done);
  void writeBytes(const QByteArray& bytes, const QString& markup, SaveWay way,
                  std::function<void(bool saved)> done);
  // A save that did not happen: the message (if any), editing again.
  void keepEdits(const QString& why, std::function<void(bool saved)> done);
  QWidget* messageParent() const;
  engineparse::Checker* checker();
  void dropChecker();

  // Leaves the phase a question or save put the edit in, unless the
  // document was replaced meanwhile.
  void endPhase(EditingState::Phase phase, EditingState::Phase restored);

  EditingState* state_;
  QPointer<QWidget> owner_;
  QPointer<QWebEnginePage> page_;
  QString path_;
  bool closeApproved_ = false;
  // Pending engine callbacks belong to the edit they were asked for.
  int generation_ = 0;
  // What the edit began from, so a save can change only what the user changed.
  std::optional<QByteArray> fileBytes_;
  // Set for a UTF-16 page: its text as UTF-8, worked on in place of its bytes.
  std::optional<codetext::Shown> wide_;
  std::optional<unsavededits::Kept> recovered_;
  UnsavedKeeper* keeper_ = nullptr;
  pagetext::FileTraits traits_;
  std::optional<QString> markupBefore_;
  QString charsetBefore_;
  SaveWay lastSaveWay_;
  engineparse::Checker* checker_ = nullptr;
};
