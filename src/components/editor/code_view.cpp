#include "editor/code_view.h"

#include <Qsci/qscilexerhtml.h>
#include <Qsci/qsciscintilla.h>

#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "editor/edit_session.h"
#include "files/checksum.h"
#include "files/page_limit.h"
#include "files/v_file.h"
#include "text/charsets.h"
#include "widgets/msg_box.h"
#include "widgets/named.h"

namespace {

// How long typing rests before the preview follows it.
constexpr int kRestMs = 250;

// Where a page names its charset, compared before and after a big page's save.
constexpr qint64 kHeadBytes = 16 * 1024;

bool isKey(const QKeyEvent* key, int code, Qt::KeyboardModifiers modifiers) {
  return key->key() == code && key->modifiers() == modifiers;
}

// Keys that change the text: a read-only file says why at the first of them.
bool changesText(const QKeyEvent* key) {
  if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
    return isKey(key, Qt::Key_V, Qt::ControlModifier) || isKey(key, Qt::Key_X, Qt::ControlModifier);
  return !key->text().isEmpty() || key->key() == Qt::Key_Backspace ||
         key->key() == Qt::Key_Delete || key->key() == Qt::Key_Return ||
         key->key() == Qt::Key_Enter || key->key() == Qt::Key_Tab;
}

}  // namespace

void setUpCodeEditor(QsciScintilla* editor) {
  editor->setUtf8(true);
  auto* lexer = new QsciLexerHTML(editor);
  lexer->setFoldCompact(false);
  lexer->setFoldPreprocessor(true);
  editor->setLexer(lexer);
  editor->setMarginLineNumbers(0, true);
  editor->setFolding(QsciScintilla::BoxedTreeFoldStyle);
  // Long lines scroll; the text is never wrapped or reflowed.
  editor->setWrapMode(QsciScintilla::WrapNone);
  // Ctrl+U and Ctrl+Shift+U are the window's (code view, publish), not
  // the editor's lower and upper case.
  for (const int modifiers : {int(QsciScintillaBase::SCMOD_CTRL),
                              QsciScintillaBase::SCMOD_CTRL | QsciScintillaBase::SCMOD_SHIFT})
    editor->SendScintilla(QsciScintillaBase::SCI_CLEARCMDKEY,
                          static_cast<unsigned long>('U' + (modifiers << 16)));
  // Characters that turn the direction of text around, or hide, could make
  // a stranger's code read as something it is not: each shows as a mark.
  const struct {
    char32_t codePoint;
    const char* mark;
  } hidden[] = {{0x202A, "LRE"},   {0x202B, "RLE"},  {0x202C, "PDF"}, {0x202D, "LRO"},
                {0x202E, "RLO"},   {0x2066, "LRI"},  {0x2067, "RLI"}, {0x2068, "FSI"},
                {0x2069, "PDI"},   {0x200B, "ZWSP"}, {0x200E, "LRM"}, {0x200F, "RLM"},
                {0xFEFF, "ZWNBSP"}};
  for (const auto& h : hidden)
    editor->SendScintilla(QsciScintillaBase::SCI_SETREPRESENTATION,
                          QString::fromUcs4(&h.codePoint, 1).toUtf8().constData(), h.mark);
}

CodeView::CodeView(EditSession* session, QWidget* parent) : QWidget(parent), session_(session) {
  setObjectName(QStringLiteral("fraCode"));
  txtCode = named(new QsciScintilla(this), "txtCode");
  setUpCodeEditor(txtCode);
  // Only the notices that come before a change: for the ones after it,
  // QScintilla counts every character before the change for assistive
  // technology, so each key on a big page cost as long as reading the page.
  // The text stays readable to assistive technology all the same.
  txtCode->SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK,
                         static_cast<unsigned long>(QsciScintillaBase::SC_MOD_BEFOREINSERT |
                                                    QsciScintillaBase::SC_MOD_BEFOREDELETE));
  connect(txtCode, &QsciScintillaBase::SCN_MODIFIED, this,
          [this](int position, int type, const char*, int length) {
            changing(position, type, length);
          });
  txtCode->installEventFilter(this);

  fraCodeFind = named(new QWidget(this), "fraCodeFind");
  lblCodeFind = named(new QLabel(fraCodeFind), "lblCodeFind");
  txtCodeFind = named(new QLineEdit(fraCodeFind), "txtCodeFind");
  txtCodeFind->installEventFilter(this);
  auto* bar = new QHBoxLayout(fraCodeFind);
  bar->setContentsMargins(4, 2, 4, 2);
  bar->addWidget(lblCodeFind);
  bar->addWidget(txtCodeFind, 1);
  fraCodeFind->hide();

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(txtCode, 1);
  column->addWidget(fraCodeFind);

  rest_ = new QTimer(this);
  rest_->setSingleShot(true);
  rest_->setInterval(kRestMs);
  connect(rest_, &QTimer::timeout, this, &CodeView::rested);
  connect(txtCode, &QsciScintilla::modificationChanged, this, &CodeView::modificationChanged);
  connect(txtCodeFind, &QLineEdit::returnPressed, this, &CodeView::barEntered);
}

Status CodeView::open(const QString& path) {
  const QFileInfo info(path);
  if (!info.isFile()) return pagelimit::showable(path);
  if (info.size() > pagelimit::kMaxShownBytes)
    if (std::optional<Status> streamed = stream(path)) return *streamed;
  QByteArray file;
  const FileStamp before = filestamp::of(path);
  if (Status read = vFile::LoadBytes(file, path); !read) return read;
  const FileStamp after = filestamp::of(path);
  QString why;
  const auto shown = codetext::decode(file, &why, codetext::Text::Pieces);
  if (!shown) return Status::failure(why);
  path_ = path;
  fileTime_ = info.lastModified();
  // Only bytes read from a file that stood still while it was read are its bytes.
  const bool still = before.sameAs(after) && after.size == file.size();
  stamp_ = still ? after : FileStamp();
  sha256_ = still ? checksum::sha256Later(file) : std::shared_future<QByteArray>();
  const Status writable = pagelimit::writable(path);
  readOnlyWhy_ = writable ? QString() : writable.why();
  toldReadOnly_ = false;
  toldReferences_ = false;
  held_ = true;
  load(file, *shown);
  return Status::success();
}

std::optional<Status> CodeView::stream(const QString& path) {
  // A megabyte, and a CR LF that its last byte may begin.
  constexpr qint64 kPiece = (1 << 20) + 4;
  using Piece = codetext::PieceDecoder::Piece;
  for (const bool asUtf8 : {true, false}) {
    const FileStamp stamp = filestamp::of(path);
    QFile file;
    if (Status opened = vFile::OpenRegular(file, path); !opened) return opened;
    const std::optional<codetext::PieceDecoder> first =
        codetext::PieceDecoder::forHead(file.peek(kPiece), stamp.size, asUtf8);
    if (!first) return std::nullopt;
    QString failed;
    // Once to check every piece and measure the text, so the editor makes
    // room once and is not touched for a file it cannot show; then into it.
    // size: only measure the text.
    const auto pass = [&](qsizetype* size, const std::function<void(QByteArrayView)>& take) {
      codetext::PieceDecoder decoder = *first;
      QByteArray text;
      qint64 read = 0;
      if (!file.seek(0)) {
        failed = file.errorString();
        return Piece::NotText;
      }
      for (;;) {
        const QByteArray piece = file.read(kPiece);
        if (piece.isEmpty()) break;
        read += piece.size();
        if (read > stamp.size + vFile::kGrowthMargin) {
          failed = QStringLiteral("it kept growing while it was being read");
          return Piece::NotText;
        }
        const Piece p = size ? decoder.measure(piece, *size) : decoder.take(piece, text);
        if (p != Piece::Text) return p;
        if (!size) take(text);
      }
      if (file.error() != QFileDevice::NoError) {
        failed = file.errorString();
        return Piece::NotText;
      }
      const Piece last = decoder.finish(text);
      if (last == Piece::Text && size) *size += text.size();
      if (last == Piece::Text && !size) take(text);
      return last;
    };
    qsizetype size = 0;
    const Piece checked = pass(&size, {});
    if (checked == Piece::NotUtf8) continue;
    if (checked == Piece::NotText) {
      if (!failed.isEmpty()) return Status::failure(failed);
      const bool wide = first->shown().charset == codetext::Charset::Utf16Le ||
                        first->shown().charset == codetext::Charset::Utf16Be;
      return Status::failure(
          wide ? QStringLiteral("it holds NUL characters, which a page's code never does")
               : QStringLiteral("it holds NUL bytes, which a page's code never does"));
    }
    path_ = path;
    fileTime_ = QFileInfo(path).lastModified();
    const Status writable = pagelimit::writable(path);
    readOnlyWhy_ = writable ? QString() : writable.why();
    toldReadOnly_ = false;
    toldReferences_ = false;
    held_ = false;
    fileBytes_.clear();
    shown_ = first->shown();
    // The file's checksum is worked out meanwhile, from the file itself.
    const std::shared_future<QByteArray> sha256 = checksum::sha256OfFileLater(path, stamp);
    beginText(size);
    const Piece shown = pass(nullptr, [this](QByteArrayView text) { append(text); });
    endText();
    if (shown != Piece::Text || !filestamp::of(path).sameAs(stamp)) {
      clear();
      return Status::failure(QStringLiteral("it was changed while it was being read"));
    }
    stamp_ = stamp;
    sha256_ = sha256;
    return Status::success();
  }
  return std::nullopt;
}

void CodeView::load(const QByteArray& file, codetext::Shown shown) {
  fileBytes_ = held_ ? file : QByteArray();
  shown_ = std::move(shown);
  beginText(codetext::textSize(file, shown_));
  codetext::forEachPiece(file, shown_, [this](QByteArrayView piece) { append(piece); });
  endText();
}

void CodeView::append(QByteArrayView text) {
  txtCode->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<unsigned long>(text.size()),
                         text.data());
}

void CodeView::beginText(qsizetype size) {
  const QsciScintilla::EolMode eol = shown_.eol == "\r\n" ? QsciScintilla::EolWindows
                                     : shown_.eol == "\r" ? QsciScintilla::EolMac
                                                          : QsciScintilla::EolUnix;
  txtCode->setEolMode(eol);
  txtCode->setReadOnly(false);
  // The bytes go in as they are: a widget's text setter would not keep bytes
  // that are not UTF-8, nor tell CR LF from LF. They go in piece by piece
  // into room made once, and loading is not undoable: a big page is held no
  // second time on its way in.
  txtCode->SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 0UL);
  txtCode->SendScintilla(QsciScintillaBase::SCI_CLEARALL);
  // With room to spare: a last piece that exactly fills the room grows it
  // by a sixth, copying the page.
  txtCode->SendScintilla(QsciScintillaBase::SCI_ALLOCATE, static_cast<unsigned long>(size + 65536));
}

void CodeView::endText() {
  txtCode->SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 1UL);
  txtCode->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
  shownSize_ = txtCode->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
  changedFrom_ = keptTail_ = shownSize_;
  if (shown_.charset != codetext::Charset::Other) shown_.text.clear();
  txtCode->setModified(false);
  txtCode->setReadOnly(!readOnlyWhy_.isEmpty());
  const long lines = txtCode->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT);
  txtCode->setMarginWidth(0, QStringLiteral("0") + QString(QString::number(lines).size(), u'9'));
  // Loading the text is not the user's typing.
  rest_->stop();
}

void CodeView::clear() {
  path_.clear();
  held_ = true;
  stamp_ = {};
  sha256_ = {};
  fileBytes_.clear();
  shown_ = {};
  txtCode->setReadOnly(false);
  txtCode->SendScintilla(QsciScintillaBase::SCI_SETTEXT, uintptr_t(0), "");
  txtCode->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
  shownSize_ = changedFrom_ = keptTail_ = 0;
  txtCode->setModified(false);
  rest_->stop();
}

bool CodeView::modified() const { return isOpen() && txtCode->isModified(); }

QByteArrayView CodeView::text() const {
  const long length = txtCode->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
  // The editor's own buffer, made contiguous: no copy of a big page.
  const auto* data = reinterpret_cast<const char*>(
      txtCode->SendScintilla(QsciScintillaBase::SCI_GETCHARACTERPOINTER));
  return QByteArrayView(data, length);
}

void CodeView::changing(int position, int type, int length) {
  if (!(type & (QsciScintillaBase::SC_MOD_BEFOREINSERT | QsciScintillaBase::SC_MOD_BEFOREDELETE)))
    return;
  const qsizetype size = txtCode->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
  const qsizetype end =
      type & QsciScintillaBase::SC_MOD_BEFOREDELETE ? position + length : position;
  changedFrom_ = std::min<qsizetype>(changedFrom_, position);
  keptTail_ = std::min<qsizetype>(keptTail_, size - end);
  rest_->start();
}

codetext::Saved CodeView::encodeNow(const QByteArray& file) const {
  const QByteArrayView now = text();
  if (shown_.charset == codetext::Charset::Other) return codetext::encode(file, shown_, now);
  qsizetype from = std::min(changedFrom_, now.size());
  qsizetype tail = std::min({keptTail_, now.size() - from, shownSize_ - from});
  if (from == shownSize_ && from == now.size()) return {file, 0};
  // Whole characters: the text before and after is the same in both.
  const auto continues = [&](qsizetype at) {
    return at < now.size() && (static_cast<unsigned char>(now[at]) & 0xC0) == 0x80;
  };
  while (from > 0 && continues(from)) --from;
  while (tail > 0 && continues(now.size() - tail)) --tail;
  return codetext::encodeChange(file, shown_, from, shownSize_ - tail,
                                now.sliced(from, now.size() - tail - from));
}

QByteArray CodeView::bytesNow() const {
  if (held_) return encodeNow(fileBytes_).file;
  QByteArray file;
  if (!vFile::LoadBytes(file, path_)) return {};
  return encodeNow(file).file;
}

bool CodeView::save() {
  if (!modified()) return true;
  if (!readOnlyWhy_.isEmpty()) {
    FileErrorMsg(QStringLiteral("save"), path_, readOnlyWhy_, window());
    return false;
  }
  if (!held_) return saveBig();
  const QByteArray before = fileBytes_;
  const codetext::Saved saved = encodeNow(before);
  KnownBytes known;
  if (stamp_.valid() && sha256_.valid()) known = {stamp_, sha256_.get()};
  if (!session_->saveCode(path_, before, fileTime_, saved.file, &known)) return false;
  fileTime_ = QFileInfo(path_).lastModified();
  stamp_ = filestamp::of(path_);
  sha256_ = checksum::sha256Later(saved.file);
  // The page may now name another charset: then it is shown in that one.
  // Only the name is compared, not the whole page decoded again.
  const bool renamed = charsets::named(before) != charsets::named(saved.file);
  const auto again = saved.references > 0 || renamed
                         ? codetext::decode(saved.file, nullptr, codetext::Text::Pieces)
                         : std::optional<codetext::Shown>();
  if (again && (saved.references > 0 || again->charset != shown_.charset)) {
    // What the editor shows must be what the file holds: the references,
    // or the text in the charset the page now names.
    keepingPlace([&] { load(saved.file, *again); });
    tellReferences(saved.references);
  } else {
    fileBytes_ = saved.file;
    settled();
  }
  return true;
}

bool CodeView::saveBig() {
  const QByteArrayView now = text();
  KnownBytes known{filestamp::of(path_), sha256_.valid() ? sha256_.get() : QByteArray()};
  if (!stamp_.sameAs(known.stamp)) {
    // Touched or written since it was shown: its bytes tell which. One
    // another program changed is not overwritten unasked, and then with
    // the whole text: the edits' places in it are not known.
    QFile file;
    checksum::Sha256 hash;
    const bool asShown = !known.sha256.isEmpty() && vFile::OpenRegular(file, path_) &&
                         hash.addData(&file) && hash.result().toHex() == known.sha256 &&
                         filestamp::of(path_).sameAs(known.stamp);
    if (!asShown) {
      if (MsgBox(QStringLiteral("%1 was changed by another program since its code was opened. "
                                "Overwrite it with your edits?")
                     .arg(QFileInfo(path_).fileName()),
                 MsgButtons::YesNo, MsgIcon::Warning, QStringLiteral("Save"),
                 window()) != MsgAnswer::Yes)
        return false;
      const codetext::Saved whole = codetext::encodeText(shown_, now);
      if (!session_->overwriteCode(path_, whole.file)) return false;
      afterBigSave(whole.references, true);
      return true;
    }
  }
  // The changed stretch's place in the file, from the text around it: that
  // is as the file has it.
  qsizetype from = std::min(changedFrom_, now.size());
  qsizetype tail = std::min({keptTail_, now.size() - from, shownSize_ - from});
  const auto continues = [&](qsizetype at) {
    return at < now.size() && (static_cast<unsigned char>(now[at]) & 0xC0) == 0x80;
  };
  while (from > 0 && continues(from)) --from;
  while (tail > 0 && continues(now.size() - tail)) --tail;
  const bool wide =
      shown_.charset == codetext::Charset::Utf16Le || shown_.charset == codetext::Charset::Utf16Be;
  const qint64 textEnd =
      wide ? shown_.start + ((known.stamp.size - shown_.start) & ~qint64(1)) : known.stamp.size;
  const qint64 fileFrom = shown_.start + codetext::fileBytesOf(shown_, now.first(from));
  const qint64 fileTo = textEnd - codetext::fileBytesOf(shown_, now.last(tail));
  QByteArray old;
  QFile file;
  Status read = fileFrom <= fileTo ? vFile::OpenRegular(file, path_)
                                   : Status::failure(QStringLiteral("it is not the file shown"));
  if (read &&
      (!file.seek(fileFrom) || (old = file.read(fileTo - fileFrom)).size() != fileTo - fileFrom))
    read = Status::failure(file.errorString());
  if (!read) {
    FileErrorMsg(QStringLiteral("save"), path_, read.why(), window());
    return false;
  }
  codetext::Shown stretchShown = shown_;
  stretchShown.start = 0;
  // The old stretch must fill the room the text around it leaves.
  const qsizetype oldSize = codetext::textSize(old, stretchShown);
  if (from + oldSize + tail != shownSize_) {
    FileErrorMsg(QStringLiteral("save"), path_,
                 QStringLiteral("it no longer holds the code shown; open it again"), window());
    return false;
  }
  const codetext::Saved stretch = codetext::encodeChange(
      old, stretchShown, 0, oldSize, now.sliced(from, now.size() - tail - from));
  if (stretch.file == old) {
    settled();
    return true;
  }
  QByteArray head, headNow;
  (void)vFile::LoadHead(head, path_, kHeadBytes);
  if (!session_->saveCodeSplice(path_, {fileFrom, fileTo, stretch.file}, known)) return false;
  (void)vFile::LoadHead(headNow, path_, kHeadBytes);
  afterBigSave(stretch.references, charsets::named(head) != charsets::named(headNow));
  return true;
}

void CodeView::afterBigSave(int references, bool showAgain) {
  fileTime_ = QFileInfo(path_).lastModified();
  stamp_ = filestamp::of(path_);
  sha256_ = checksum::sha256OfFileLater(path_, stamp_);
  if (references == 0 && !showAgain) {
    settled();
    return;
  }
  // What the editor shows must be what the file holds: the references, or
  // the text in the charset the page now names.
  const bool told = toldReferences_;
  keepingPlace([this] {
    if (!open(path_)) clear();
  });
  toldReferences_ = told;
  tellReferences(references);
}

void CodeView::settled() {
  shownSize_ = text().size();
  changedFrom_ = keptTail_ = shownSize_;
  if (shown_.charset == codetext::Charset::Other) shown_.text = text().toByteArray();
  txtCode->setModified(false);
}

void CodeView::keepingPlace(const std::function<void()>& showAgain) {
  const int line = txtCode->firstVisibleLine();
  int caretLine = 0, caretIndex = 0;
  txtCode->getCursorPosition(&caretLine, &caretIndex);
  showAgain();
  txtCode->setFirstVisibleLine(line);
  txtCode->setCursorPosition(caretLine, caretIndex);
}

void CodeView::tellReferences(int references) {
  if (references == 0 || toldReferences_) return;
  toldReferences_ = true;
  MsgBox(QStringLiteral("Some characters cannot be written in this page's character set; they "
                        "were written as character references (such as &#8594;), which "
                        "show the same in a browser."),
         MsgButtons::OkOnly, MsgIcon::Information, QStringLiteral("Save"), window());
}

bool CodeView::settle() {
  if (!modified()) return true;
  const MsgAnswer answer =
      MsgBox(QStringLiteral("Save changes to %1?").arg(QFileInfo(path_).fileName()),
             MsgButtons::SaveDiscardCancel, MsgIcon::Question, QStringLiteral("Save"), window());
  if (answer == MsgAnswer::Cancel) return false;
  if (answer == MsgAnswer::Save) return save();
  // Bytes that were shown once decode again; a big page is read again.
  if (!held_) {
    if (!open(path_)) clear();
    return true;
  }
  if (auto shown = codetext::decode(fileBytes_, nullptr, codetext::Text::Pieces))
    load(fileBytes_, *shown);
  return true;
}

void CodeView::showAt(qsizetype position, qsizetype length) {
  txtCode->SendScintilla(QsciScintillaBase::SCI_SETSEL, static_cast<unsigned long>(position),
                         static_cast<long>(position + length));
  txtCode->SendScintilla(QsciScintillaBase::SCI_SCROLLCARET);
}

bool CodeView::refuseReadOnly() {
  if (readOnlyWhy_.isEmpty()) return false;
  if (!toldReadOnly_) {
    toldReadOnly_ = true;
    MsgBox(
        QStringLiteral("%1 cannot be changed: %2.").arg(QFileInfo(path_).fileName(), readOnlyWhy_),
        MsgButtons::OkOnly, MsgIcon::Information, QStringLiteral("Read-only"), window());
  }
  return true;
}

void CodeView::openBar(bool gotoLine) {
  barGoesToLine_ = gotoLine;
  lblCodeFind->setText(gotoLine ? QStringLiteral("Go to line:") : QStringLiteral("Find:"));
  txtCodeFind->setText(gotoLine ? QString() : lastFind_);
  fraCodeFind->show();
  txtCodeFind->setFocus();
  txtCodeFind->selectAll();
}

void CodeView::barEntered() {
  if (barGoesToLine_) {
    bool ok = false;
    const int line = txtCodeFind->text().trimmed().toInt(&ok);
    if (!ok || line < 1) return;
    fraCodeFind->hide();
    const int last = txtCode->lines();
    txtCode->setCursorPosition(std::min(line, last) - 1, 0);
    txtCode->ensureLineVisible(std::min(line, last) - 1);
    txtCode->setFocus();
    return;
  }
  lastFind_ = txtCodeFind->text();
  findAgain(true);
}

void CodeView::findAgain(bool forward) {
  if (lastFind_.isEmpty()) {
    openBar(false);
    return;
  }
  // From the caret (or the selection's start, going back), round the end.
  int line = -1, index = -1;
  if (!forward && txtCode->hasSelectedText()) {
    int lineTo = 0, indexTo = 0;
    txtCode->getSelection(&line, &index, &lineTo, &indexTo);
  }
  txtCode->findFirst(lastFind_, false, false, false, true, forward, line, index);
}

bool CodeView::eventFilter(QObject* watched, QEvent* event) {
  const bool shortcut = event->type() == QEvent::ShortcutOverride;
  if (shortcut || event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool find = isKey(key, Qt::Key_F, Qt::ControlModifier);
    const bool gotoLine = isKey(key, Qt::Key_G, Qt::ControlModifier);
    const bool next = isKey(key, Qt::Key_F3, Qt::NoModifier);
    const bool previous = isKey(key, Qt::Key_F3, Qt::ShiftModifier);
    const bool escape = watched == txtCodeFind && isKey(key, Qt::Key_Escape, Qt::NoModifier);
    if (find || gotoLine || next || previous || escape) {
      // Ours while the code has focus, not the window's Find and Replace.
      if (shortcut) {
        event->accept();
        return true;
      }
      if (find || gotoLine) openBar(gotoLine);
      if (next || previous) findAgain(next);
      if (escape) {
        fraCodeFind->hide();
        txtCode->setFocus();
      }
      return true;
    }
    if (!shortcut && watched == txtCode && changesText(key) && refuseReadOnly()) return true;
  }
  return QWidget::eventFilter(watched, event);
}
