#include "editor/edit_session.h"

#include <QFileInfo>
#include <QVariantMap>
#include <QWebEnginePage>
#include <QWidget>
#include <algorithm>

#include "editor/unsaved_keeper.h"
#include "engine/engine_parse.h"
#include "engine/page_scripts.h"
#include "files/history_action.h"
#include "files/page_file.h"
#include "files/paths.h"
#include "files/v_file.h"
#include "text/early_charset.h"
#include "text/line_breaks.h"
#include "text/minimal_save.h"
#include "text/text_codec.h"

namespace {

// A renderer keeps the memory of the biggest document it has read until it
// exits; past this size its start is nothing next to a parse, so the checker
// is let go after the check and the next edit starts a fresh one.
constexpr qsizetype kKeepCheckerUpTo = 2 * 1024 * 1024;

// The quick parse hands the page to the renderer inside a script; past this
// size a load costs little more.
constexpr qsizetype kQuickParseUpTo = 2 * 1024 * 1024;

qsizetype commonPrefix(const QByteArray& a, const QByteArray& b) {
  const qsizetype n = std::min(a.size(), b.size());
  return std::mismatch(a.begin(), a.begin() + n, b.begin()).first - a.begin();
}

}  // namespace

using Phase = EditingState::Phase;

EditSession::EditSession(EditingState* state, QWidget* owner)
    : QObject(owner), state_(state), owner_(owner), keeper_(new UnsavedKeeper(this)) {}

bool EditSession::active() const { return state_->holdsEdit(); }

bool EditSession::busy() const { return state_->busy(); }

void EditSession::endPhase(Phase phase, Phase restored) {
  if (state_->phase() == phase) state_->setPhase(restored);
}

engineparse::Checker* EditSession::checker() {
  if (!checker_) checker_ = new engineparse::Checker(this);
  return checker_;
}

void EditSession::dropChecker() {
  // Still inside the checker's own answer: gone once that returns.
  if (checker_) checker_->deleteLater();
  checker_ = nullptr;
}

QWidget* EditSession::messageParent() const { return owner_ ? owner_->window() : nullptr; }

void EditSession::edit(const QString& path, QWebEnginePage* page) {
  if (!active() || page_ != page) {
    end();
    page_ = page;
    path_ = path;
    // The renderer that will check what a save writes starts while the
    // user edits, not when they save.
    checker();
    if (recovered_ && paths::identityOf(recovered_->base.page) == paths::identityOf(path)) {
      // The edit goes on from what it began from then, not from the file now.
      const unsavededits::Kept kept = *std::exchange(recovered_, std::nullopt);
      setFileBytes(kept.base.fileBytes);
      markupBefore_ = kept.base.markupBefore;
      charsetBefore_ = kept.base.charset;
      state_->setPhase(Phase::Editable);
      pagescripts::call(page_, QStringLiteral("enterDesignMode"));
      pagescripts::call(page_, QStringLiteral("restoreMarkup"), {kept.markupNow});
      keeper_->start(page_, kept.base);
      return;
    }
    // The bytes the document was made from, not what the file holds by the
    // time of saving: the prologue, the line breaks and the places of the
    // edits are taken from them.
    QByteArray bytes;
    if (vFile::LoadBytes(bytes, path_)) setFileBytes(std::move(bytes));
    // Read before design mode is on, so before anything can be typed.
    const int generation = generation_;
    QPointer<EditSession> self(this);
    pagescripts::call(page_, QStringLiteral("page"), {}, [self, generation](const QVariant& v) {
      if (!self || self->generation_ != generation) return;
      const QVariantMap page = v.toMap();
      self->markupBefore_ = page.value(QStringLiteral("markup")).toString();
      self->charsetBefore_ = page.value(QStringLiteral("charset")).toString();
      self->keepFrom(*self->markupBefore_, self->charsetBefore_);
    });
    state_->setPhase(Phase::Editable);
  }
  pagescripts::call(page_, QStringLiteral("enterDesignMode"));
}

void EditSession::recover(unsavededits::Kept kept) { recovered_ = std::move(kept); }

void EditSession::keepFrom(const QString& markup, const QString& charset) {
  if (fileBytes_ && page_) keeper_->start(page_, {path_, *fileBytes_, markup, charset});
}

void EditSession::setFileBytes(std::optional<QByteArray> bytes) {
  fileBytes_ = std::move(bytes);
  wide_.reset();
  traits_ = {};
  if (!fileBytes_) return;
  // Only a page that starts with a UTF-16 byte order mark is read so.
  if (fileBytes_->startsWith("\xFF\xFE") || fileBytes_->startsWith("\xFE\xFF")) {
    std::optional<codetext::Shown> shown = codetext::decode(*fileBytes_);
    if (shown && (shown->charset == codetext::Charset::Utf16Le ||
                  shown->charset == codetext::Charset::Utf16Be))
      wide_ = std::move(shown);
  }
  traits_ = pagetext::traitsOf(workBytes());
}

const QByteArray& EditSession::workBytes() const { return wide_ ? wide_->text : *fileBytes_; }

QString EditSession::workCharset(const QString& charset) const {
  return wide_ ? QStringLiteral("UTF-8") : charset;
}

QByteArray EditSession::toFile(const QByteArray& work) const {
  // Only the changed stretch is encoded again; the byte order mark and the
  // byte order stay the file's.
  return wide_ ? codetext::encode(*fileBytes_, *wide_, work).file : work;
}

void EditSession::end(bool keepCopy) {
  ++generation_;
  keeper_->stop(keepCopy);
  // The checker stays once the user has edited: the next edit's save, often
  // right after Edit Page, would otherwise wait for a renderer to start. A
  // big page's checker goes after its check (kKeepCheckerUpTo).
  page_.clear();
  fileBytes_.reset();
  wide_.reset();
  traits_ = {};
  markupBefore_.reset();
  charsetBefore_.clear();
}

void EditSession::readChanged(std::function<void(bool)> done) const {
  if (!active() || !page_) {
    done(false);
    return;
  }
  const int generation = generation_;
  QPointer<const EditSession> self(this);
  pagescripts::call(page_, QStringLiteral("changed"), {},
                    [self, generation, done = std::move(done)](const QVariant& v) {
                      // A document gone meanwhile holds nothing to save.
                      done(self && self->generation_ == generation && v.toBool());
                    });
}

void EditSession::forgetEdits() {
  if (active() && page_) pagescripts::call(page_, QStringLiteral("forgetChanges"));
}

void EditSession::offerSave(MsgButtons buttons, std::function<void(Leave)> done) {
  // Busy from the question until the save ends: a second request meanwhile
  // (another navigation, a tool) must not ask again.
  state_->setPhase(Phase::Asking);
  QPointer<EditSession> self(this);
  const int generation = generation_;
  const auto finish = [self, done = std::move(done)](Leave leave) {
    if (self) self->endPhase(Phase::Asking, Phase::Editable);
    done(leave);
  };
  readChanged([self, generation, buttons, finish](bool changed) {
    if (!self || self->generation_ != generation || !changed) {
      finish(Leave::Go);
      return;
    }
    const MsgAnswer answer =
        MsgBox(QStringLiteral("Save changes to %1?").arg(QFileInfo(self->path_).fileName()),
               buttons, MsgIcon::Question, QStringLiteral("Save"), self->messageParent());
    if (!self) return;
    if (answer == MsgAnswer::Discard)
      finish(Leave::Go);
    else if (answer == MsgAnswer::Cancel)
      finish(Leave::Stay);
    else
      self->save([finish](bool saved) { finish(saved ? Leave::Go : Leave::Stay); });
  });
}

void EditSession::readDocument(const QString& function, DocumentDone done) {
  if (!active() || !page_) {
    done(Status::failure(QStringLiteral("the page is not open in the browser")), {}, {});
    return;
  }
  const int generation = generation_;
  QPointer<EditSession> self(this);
  pagescripts::call(
      page_, function, {}, [self, generation, done = std::move(done)](const QVariant& v) {
        if (!self || self->generation_ != generation) return;
        const QVariantMap page = v.toMap();
        const QString markup = page.value(QStringLiteral("markup")).toString();
        if (markup.isEmpty()) {
          done(Status::failure(QStringLiteral("the browser holds no document")), {}, {});
          return;
        }
        done(Status::success(), markup, page.value(QStringLiteral("charset")).toString());
      });
}

void EditSession::readPageText(PageTextDone done) {
  QPointer<EditSession> self(this);
  readDocument(QStringLiteral("page"), [self, done = std::move(done)](const Status& read,
                                                                      const QString& markup,
                                                                      const QString& charset) {
    if (!read) {
      done(read, TextBuffer{});
      return;
    }
    const auto bytes = self->wholePage(markup, charset);
    if (!bytes) {
      done(Status::failure(QStringLiteral("its character set (%1) cannot be written").arg(charset)),
           TextBuffer{});
      return;
    }
    done(Status::success(), textcodec::decode(*bytes));
  });
}

void EditSession::save(std::function<void(bool saved)> done) {
  if (!active() || !page_) {
    FileErrorMsg(QStringLiteral("save"), path_,
                 QStringLiteral("the page is not open in the browser"), messageParent());
    done(false);
    return;
  }
  const Phase before = state_->phase();
  state_->setPhase(Phase::Saving);
  emit inputBlocked(true);
  QPointer<EditSession> self(this);
  const int generation = generation_;
  readChanged([self, generation, before, done = std::move(done)](bool changed) mutable {
    if (!self || self->generation_ != generation) return;
    const auto finish = [self, before, done = std::move(done)](bool saved) {
      if (self) self->endPhase(Phase::Saving, before);
      done(saved);
    };
    if (!changed) {
      // Nothing to write, and nothing to overwrite another program's change with.
      finish(true);
      return;
    }
    self->readDocument(
        QStringLiteral("freezeAndRead"),
        [self, finish](const Status& read, const QString& markup, const QString& charset) {
          if (!self) return;
          if (!read) {
            self->keepEdits(read.why(), finish);
            return;
          }
          if (self->changedOnDisk()) {
            const MsgAnswer answer = MsgBox(
                QStringLiteral("%1 was changed by another program since you "
                               "began editing. Overwrite it with your edits?")
                    .arg(QFileInfo(self->path_).fileName()),
                MsgButtons::YesNo, MsgIcon::Warning, QStringLiteral("Save"), self->messageParent());
            if (!self) return;
            if (answer != MsgAnswer::Yes) {
              self->keepEdits({}, finish);
              return;
            }
          }
          self->writeEdits(markup, charset, finish);
        });
  });
}

void EditSession::keepEdits(const QString& why, std::function<void(bool saved)> done) {
  if (!why.isEmpty()) FileErrorMsg(QStringLiteral("save"), path_, why, messageParent());
  if (active() && page_) pagescripts::call(page_, QStringLiteral("enterDesignMode"));
  emit inputBlocked(false);
  state_->setEditing(true);
  emit EditsKept();
  done(false);
}

bool EditSession::saveCode(const QString& path, const QByteArray& before, const QDateTime& readAt,
                           const QByteArray& after, const KnownBytes* known) {
  const QFileInfo info(path);
  // Only a file whose time or size moved is read again to compare: a big
  // page is not read twice for every save.
  QByteArray now;
  if (info.isFile() && (info.lastModified() != readAt || info.size() != before.size()) &&
      vFile::LoadBytes(now, path) && now != before) {
    const MsgAnswer answer =
        MsgBox(QStringLiteral("%1 was changed by another program since its code was opened. "
                              "Overwrite it with your edits?")
                   .arg(info.fileName()),
               MsgButtons::YesNo, MsgIcon::Warning, QStringLiteral("Save"), messageParent());
    if (answer != MsgAnswer::Yes) return false;
  }
  const history::Action action(QStringLiteral("Code"));
  if (const Status written = pagefile::save(after, path, known); !written) {
    FileErrorMsg(QStringLiteral("save"), path, written.why(), messageParent());
    return false;
  }
  return true;
}

bool EditSession::saveCodeSplice(const QString& path, const vFile::Splice& splice,
                                 const KnownBytes& known) {
  const history::Action action(QStringLiteral("Code"));
  if (const Status written = pagefile::saveSplice(splice, path, known); !written) {
    FileErrorMsg(QStringLiteral("save"), path, written.why(), messageParent());
    return false;
  }
  return true;
}

bool EditSession::overwriteCode(const QString& path, const QByteArray& after) {
  const history::Action action(QStringLiteral("Code"));
  if (const Status written = pagefile::save(after, path); !written) {
    FileErrorMsg(QStringLiteral("save"), path, written.why(), messageParent());
    return false;
  }
  return true;
}

bool EditSession::changedOnDisk() const {
  if (!fileBytes_) return false;
  QByteArray now;
  // A file that cannot be read now is for the write to report.
  if (!QFileInfo(path_).isFile() || !vFile::LoadBytes(now, path_)) return false;
  return now != *fileBytes_;
}

std::optional<QByteArray> EditSession::wholePage(const QString& markup,
                                                 const QString& charset) const {
  if (!fileBytes_) return pagetext::savedBytes(traits_, markup, charset);
  // The file's own prologue, then the engine's markup with each line break
  // written as the file writes it: a CR CR LF stays one, not two CR LFs.
  pagetext::FileTraits bare = traits_;
  bare.prologue.clear();
  bare.bom = false;
  bare.crlf = false;
  const QString work = workCharset(charset);
  const std::optional<QByteArray> body = pagetext::savedBytes(bare, markup, work);
  const std::optional<QByteArray> head = pagetext::savedBytes(traits_, QString(), work);
  if (!body || !head) return std::nullopt;
  QByteArray page = *head + linebreaks::follow(workBytes(), linebreaks::lines(workBytes()), *body);
  // The engine reads the line break after the file's last tag into the end
  // of the body, so its markup holds it before </body>: it goes back after
  // the last tag, where the file has it, and reads the same from there.
  const QByteArray& file = workBytes();
  qsizetype tail = file.size();
  while (tail > 0 && QByteArrayView(" \t\r\n\f").contains(file[tail - 1])) --tail;
  const QByteArray after = file.sliced(tail);
  const qsizetype bodyEnd = page.lastIndexOf("</body>");
  if (tail > 0 && file[tail - 1] == '>' && !after.isEmpty() && bodyEnd >= 0 &&
      page.sliced(0, bodyEnd).endsWith(after) && !page.endsWith(after) &&
      page.sliced(bodyEnd).trimmed() == "</body></html>") {
    page.remove(bodyEnd - after.size(), after.size());
    page += after;
  }
  return toFile(page);
}

void EditSession::writeEdits(const QString& markup, const QString& charset,
                             std::function<void(bool saved)> done) {
  const std::optional<QByteArray> whole = wholePage(markup, charset);
  if (!whole) {
    keepEdits(QStringLiteral("its character set (%1) cannot be written").arg(charset), done);
    return;
  }
  const auto writeWhole = [this, markup, whole, done](const QString& why) {
    writeBytes(*whole, markup, SaveWay{false, why}, done);
  };
  if (!fileBytes_ || !markupBefore_) {
    writeWhole(QStringLiteral("the page as it was before editing is not known"));
    return;
  }
  if (charsetBefore_ != charset) {
    writeWhole(QStringLiteral("the page's character set changed while editing"));
    return;
  }
  const minimalsave::Patch patch = minimalsave::patch(
      workBytes(), *markupBefore_, markup,
      minimalsave::Spelling{workCharset(charset), traits_.plainAscii, traits_.crlf});
  if (!patch.bytes) {
    writeWhole(patch.why);
    return;
  }
  // Nothing is written that the engine would read as another page than the
  // one edited: the whole page is the safe way then.
  QPointer<EditSession> self(this);
  const int generation = generation_;
  const QByteArray bytes = toFile(*patch.bytes);
  const auto checkByLoad = [self, generation, markup, charset, bytes, writeWhole, done] {
    if (!self || self->generation_ != generation) return;
    self->checker()->parse(bytes, [self, generation, markup, charset, bytes, writeWhole,
                                   done](std::optional<engineparse::Parsed> parsed) {
      if (self && bytes.size() > kKeepCheckerUpTo) self->dropChecker();
      if (!self || self->generation_ != generation) return;
      if (!parsed)
        writeWhole(QStringLiteral("the browser could not read the changed file"));
      else if (parsed->charset != charset)
        writeWhole(QStringLiteral("the changed file reads in another character set"));
      else if (parsed->markup != markup)
        writeWhole(QStringLiteral("the changed file reads as another page"));
      else
        self->writeBytes(bytes, markup, SaveWay{true, {}}, done);
    });
  };
  // Where the first bytes, the same before and after the edit, settle the
  // character set, the engine can parse the bytes without loading them; any
  // other answer than the edited document is taken to a load to decide.
  const QByteArray label =
      bytes.size() <= kQuickParseUpTo && !wide_
          ? earlycharset::labelOf(QByteArrayView(bytes).first(commonPrefix(*fileBytes_, bytes)))
          : QByteArray();
  if (label.isEmpty()) {
    checkByLoad();
    return;
  }
  checker()->parseDeclared(bytes, label, charset,
                           [self, generation, markup, bytes, done,
                            checkByLoad](std::optional<engineparse::Parsed> parsed) {
                             if (!self || self->generation_ != generation) return;
                             if (parsed && parsed->markup == markup)
                               self->writeBytes(bytes, markup, SaveWay{true, {}}, done);
                             else
                               checkByLoad();
                           });
}

void EditSession::writeBytes(const QByteArray& bytes, const QString& markup, SaveWay way,
                             std::function<void(bool saved)> done) {
  if (const Status status = pagefile::save(bytes, path_); !status) {
    keepEdits(status.why(), done);
    return;
  }
  lastSaveWay_ = std::move(way);
  // Later saves of the same edit start from what is in the file now, and so
  // does the copy kept against a crash.
  setFileBytes(bytes);
  markupBefore_ = markup;
  keepFrom(markup, charsetBefore_);
  forgetEdits();
  // The document stays blocked until the page is shown again.
  done(true);
}

void EditSession::settleEdits(std::function<void(bool)> done) {
  if (!active()) {
    done(true);
    return;
  }
  if (busy()) {
    done(false);
    return;
  }
  QPointer<EditSession> self(this);
  offerSave(MsgButtons::SaveDiscardCancel, [self, done = std::move(done)](Leave leave) {
    if (!self) return;
    // Saved or discarded: the editor shows the file again, so discarded
    // edits cannot come back with a later save, and no reload asks again.
    if (leave == Leave::Go) {
      self->forgetEdits();
      emit self->showAgain(self->path_);
    }
    done(leave == Leave::Go);
  });
}

bool EditSession::readyToClose(std::function<void()> closeAgain) {
  if (closeApproved_ || !active()) return true;
  if (busy()) return false;
  QPointer<EditSession> self(this);
  offerSave(MsgButtons::SaveDiscardCancel, [self, closeAgain = std::move(closeAgain)](Leave leave) {
    if (!self) return;
    if (leave == Leave::Stay) return;
    self->closeApproved_ = true;
    closeAgain();
    if (self) self->closeApproved_ = false;
  });
  return false;
}
