// The code view as its user drives it: the page's own text, typing and
// saving only what was typed, keys for find and lines, and the cases where a
// save must not happen (a read-only file, a file another program changed).
#include "editor/code_view.h"

#include <Qsci/qsciscintilla.h>

#include <QAccessible>
#include <QAccessibleTextInterface>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include "editor/edit_session.h"
#include "editor/editing_state.h"
#include "files/page_history.h"
#include "files/page_limit.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "text/code_text.h"

class CodeViewTest final : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void showsThePageByItsCharset_data();
  void showsThePageByItsCharset();
  void typedTextIsWrittenAndNothingElse_data();
  void typedTextIsWrittenAndNothingElse();
  void scatteredEditsWriteWhatTheTextSays_data();
  void scatteredEditsWriteWhatTheTextSays();
  void refusals_data();
  void refusals();
  void settlingAsks();
  void findAndGoToLine();
  void aStrangersCodeIsOnlyText();
  void bigPageSavesOnlyTheTypedBytes_data();
  void bigPageSavesOnlyTheTypedBytes();
  void bigPageChangedOnDisk_data();
  void bigPageChangedOnDisk();

 private:
  // Copies one of our pages into the temporary folder and opens it.
  QString openCopy(const QString& name);
  void typeAtLine(int line, const QString& text);
  // A page over what the preview takes, its line repeated, opened.
  QString openBig(const QByteArray& head, const QByteArray& line);

  QTemporaryDir dir_;
  std::unique_ptr<QWidget> window_;
  EditingState* state_ = nullptr;
  CodeView* view_ = nullptr;
};

void CodeViewTest::init() {
  window_ = std::make_unique<QWidget>();
  state_ = new EditingState(window_.get());
  view_ = new CodeView(new EditSession(state_, window_.get()), window_.get());
  window_->resize(800, 600);
  view_->resize(800, 600);
  window_->show();
}

void CodeViewTest::cleanup() { window_.reset(); }

QString CodeViewTest::openCopy(const QString& name) {
  const QString path = dir_.filePath(name);
  QFile::remove(path);
  QFile::copy(QDir(testfiles::ownPagesDir()).filePath(name), path);
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
  const Status opened = view_->open(path);
  if (!opened) qWarning() << opened.why();
  return opened ? path : QString();
}

QString CodeViewTest::openBig(const QByteArray& head, const QByteArray& line) {
  const QString path = dir_.filePath(QStringLiteral("big.htm"));
  QByteArray page = head;
  page.reserve(pagelimit::kMaxShownBytes + 2 * line.size());
  while (page.size() <= pagelimit::kMaxShownBytes) page += line;
  testfiles::write(path, page);
  const Status opened = view_->open(path);
  if (!opened) qWarning() << opened.why();
  return opened && view_->big() ? path : QString();
}

void CodeViewTest::typeAtLine(int line, const QString& text) {
  view_->editor()->setFocus();
  view_->editor()->setCursorPosition(line, 0);
  // Key by key, as a keyboard sends them (QTest types Latin-1 only).
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(view_->editor(), &press);
  }
}

void CodeViewTest::showsThePageByItsCharset_data() {
  QTest::addColumn<QString>("page");
  QTest::addColumn<QString>("shows");
  QTest::newRow("windows-1252, CRLF, upper-case tags")
      << "cp1252-crlf-upper.htm" << QStringLiteral("The \u201cFern Guide\u201d &amp; Caf\u00e9");
  QTest::newRow("ISO-8859-1 undeclared") << "latin1-undeclared.html" << QString();
  QTest::newRow("UTF-16 with its mark") << "utf16-bom.htm" << QString();
  QTest::newRow("UTF-8 with its mark") << "utf8-bom.html" << QString();
  QTest::newRow("CR CR LF") << "cr-cr-lf.htm" << QString();
}

// What assistive technology reads is the page's text, decoded, every line
// break as the file has it.
void CodeViewTest::showsThePageByItsCharset() {
  QFETCH(QString, page);
  QFETCH(QString, shows);
  const QString path = openCopy(page);
  QVERIFY(!path.isEmpty());
  const QString expected = QString::fromUtf8(codetext::decode(testfiles::read(path))->text);
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(view_->editor());
  QVERIFY(a && a->textInterface());
  const QString read = a->textInterface()->text(0, a->textInterface()->characterCount());
  QCOMPARE(read, expected);
  if (!shows.isEmpty()) QVERIFY(read.contains(shows));
  QVERIFY(!view_->modified());
  QCOMPARE(view_->bytesNow(), testfiles::read(path));
}

void CodeViewTest::typedTextIsWrittenAndNothingElse_data() {
  QTest::addColumn<QString>("page");
  QTest::addColumn<int>("line");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QByteArray>("written");
  QTest::addColumn<int>("messages");
  QTest::newRow("windows-1252: an arrow as a reference, said once")
      << "cp1252-crlf-upper.htm" << 17 << QStringLiteral("Hello \u2192 ")
      << QByteArray("Hello &#8594; ") << 1;
  QTest::newRow("windows-1252: its own characters as its bytes")
      << "cp1252-crlf-upper.htm" << 17 << QStringLiteral("Caf\u00e9 ") << QByteArray("Caf\xe9 ")
      << 0;
  QTest::newRow("UTF-16 stays UTF-16")
      << "utf16-bom.htm" << 2 << QStringLiteral("ab") << QByteArray("a\0b\0", 4) << 0;
  QTest::newRow("CR CR LF page") << "cr-cr-lf.htm" << 4 << QStringLiteral("xyz")
                                 << QByteArray("xyz") << 0;
}

void CodeViewTest::typedTextIsWrittenAndNothingElse() {
  QFETCH(QString, page);
  QFETCH(int, line);
  QFETCH(QString, typed);
  QFETCH(QByteArray, written);
  QFETCH(int, messages);
  const QString path = openCopy(page);
  QVERIFY(!path.isEmpty());
  const QByteArray before = testfiles::read(path);
  typeAtLine(line, typed);
  QVERIFY(view_->modified());
  MsgBoxRecorder recorder;
  QVERIFY(view_->save());
  QCOMPARE(recorder.calls.size(), messages);
  QVERIFY(!view_->modified());
  const QByteArray after = testfiles::read(path);
  QCOMPARE(after.size(), before.size() + written.size());
  const qsizetype at = after.lastIndexOf(written);
  QVERIFY(at > 0);
  QCOMPARE(after.first(at), before.first(at));
  QCOMPARE(after.sliced(at + written.size()), before.sliced(at));
  // The history names the write.
  const auto versions = history::versions(path);
  QVERIFY(!versions.empty());
  QCOMPARE(versions.front().action, QStringLiteral("Code"));
  // A second edit saves on top of the first, and a reference is said once.
  typeAtLine(line, typed);
  QVERIFY(view_->save());
  QCOMPARE(recorder.calls.size(), messages);
  QCOMPARE(testfiles::read(path).count(written), after.count(written) + 1);
  // Each save kept, whole, the bytes it replaced: the checksum the view
  // worked out for them, as read and as written, is theirs.
  const auto kept = history::versions(path);  // rows before may have saved this page too
  QVERIFY(kept.size() >= 2);
  QByteArray bytes;
  QVERIFY(history::readVersion(path, kept[1], bytes));
  QCOMPARE(bytes, before);
  QVERIFY(history::readVersion(path, kept[0], bytes));
  QCOMPARE(bytes, after);
}

void CodeViewTest::scatteredEditsWriteWhatTheTextSays_data() {
  QTest::addColumn<QString>("page");
  QTest::newRow("windows-1252, CRLF") << "cp1252-crlf-upper.htm";
  QTest::newRow("UTF-16") << "utf16-bom.htm";
  QTest::newRow("UTF-8 with its mark") << "utf8-bom.html";
}

// The view hands the save only the stretch that changed: edits at both ends,
// one undone, a deletion, each must land where the text says.
void CodeViewTest::scatteredEditsWriteWhatTheTextSays() {
  QFETCH(QString, page);
  const QString path = openCopy(page);
  QVERIFY(!path.isEmpty());
  const QByteArray file = testfiles::read(path);
  QsciScintilla* code = view_->editor();
  const int last = code->lines() - 2;  // the last line with text
  typeAtLine(last - 1, QStringLiteral("end\u00e9"));
  typeAtLine(1, QStringLiteral("x"));
  code->undo();
  typeAtLine(0, QStringLiteral("\u2192"));
  code->setSelection(last, 0, last, 3);
  code->removeSelectedText();
  const auto shown = codetext::decode(file);
  QVERIFY(shown);
  const QByteArray expected = codetext::encode(file, *shown, view_->text()).file;
  QCOMPARE(view_->bytesNow(), expected);
  MsgBoxRecorder recorder;
  QVERIFY(view_->save());
  QCOMPARE(testfiles::read(path), expected);
  code->undo();
  QCOMPARE(view_->bytesNow(),
           codetext::encode(expected, *codetext::decode(expected), view_->text()).file);
}

void CodeViewTest::refusals_data() {
  QTest::addColumn<QString>("situation");
  QTest::newRow("read-only file: said at the first key") << "read-only";
  QTest::newRow("changed by another program: asked, No keeps theirs") << "changed";
}

void CodeViewTest::refusals() {
  QFETCH(QString, situation);
  const QString path = dir_.filePath(QStringLiteral("page.htm"));
  QFile::remove(path);
  testfiles::write(path, "<HTML>\r\n<BODY>\r\n<P>Hi</P>\r\n</BODY>\r\n</HTML>\r\n");
  if (situation == u"read-only") QFile::setPermissions(path, QFile::ReadOwner);
  QVERIFY(view_->open(path));
  MsgBoxRecorder recorder(MsgAnswer::No);
  if (situation == u"read-only") {
    typeAtLine(2, QStringLiteral("abc"));
    QCOMPARE(recorder.calls.size(), 1);
    QVERIFY(recorder.calls[0].prompt.contains(QStringLiteral("read-only")));
    QVERIFY(!view_->modified());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return;
  }
  typeAtLine(2, QStringLiteral("abc"));
  const QByteArray theirs = "<HTML><BODY>theirs, and longer</BODY></HTML>";
  testfiles::write(path, theirs);
  QVERIFY(!view_->save());
  QCOMPARE(recorder.calls.size(), 1);
  QVERIFY(recorder.calls[0].prompt.contains(QStringLiteral("changed by another program")));
  QCOMPARE(testfiles::read(path), theirs);
  QVERIFY(view_->modified());
}

void CodeViewTest::settlingAsks() {
  const QString path = openCopy(QStringLiteral("cp1252-crlf-upper.htm"));
  const QByteArray before = testfiles::read(path);
  MsgBoxRecorder recorder;
  QVERIFY(view_->settle());  // nothing typed: nothing asked
  QCOMPARE(recorder.calls.size(), 0);
  typeAtLine(3, QStringLiteral("x"));
  recorder.queue({MsgAnswer::Cancel, MsgAnswer::Discard});
  QVERIFY(!view_->settle());
  QVERIFY(view_->modified());
  QVERIFY(view_->settle());
  QCOMPARE(recorder.calls.size(), 2);
  QCOMPARE(recorder.calls[0].prompt, QStringLiteral("Save changes to cp1252-crlf-upper.htm?"));
  QVERIFY(!view_->modified());
  QCOMPARE(view_->bytesNow(), before);
  QCOMPARE(testfiles::read(path), before);
}

void CodeViewTest::findAndGoToLine() {
  openCopy(QStringLiteral("cp1252-crlf-upper.htm"));
  QsciScintilla* code = view_->editor();
  auto* field = view_->findChild<QLineEdit*>("txtCodeFind");
  QVERIFY(field);
  code->setFocus();
  code->setCursorPosition(0, 0);
  QTest::keyClick(code, Qt::Key_F, Qt::ControlModifier);
  QVERIFY(field->isVisible());
  QTest::keyClicks(field, QStringLiteral("<p"));
  QTest::keyClick(field, Qt::Key_Return);
  int line = 0, index = 0;
  code->getCursorPosition(&line, &index);
  QCOMPARE(code->selectedText(), QStringLiteral("<P"));
  const int first = line;
  QTest::keyClick(code, Qt::Key_F3);
  code->getCursorPosition(&line, &index);
  QVERIFY(line > first);
  QTest::keyClick(code, Qt::Key_F3, Qt::ShiftModifier);
  code->getCursorPosition(&line, &index);
  QCOMPARE(line, first);
  QTest::keyClick(code, Qt::Key_G, Qt::ControlModifier);
  QTest::keyClicks(field, QStringLiteral("12"));
  QTest::keyClick(field, Qt::Key_Return);
  code->getCursorPosition(&line, &index);
  QCOMPARE(line, 11);
  QVERIFY(!field->isVisible());
}

// A page made to trick: scripts, markup that would run elsewhere, and a
// character that turns the text around so code reads as something else.
// It is shown as the text it is, the turning character as a mark, and
// written back as it was.
void CodeViewTest::aStrangersCodeIsOnlyText() {
  const QString path = dir_.filePath(QStringLiteral("stranger.htm"));
  const QByteArray page =
      "<meta charset=utf-8><script>location='file:///etc/passwd';alert(1)</script>\n"
      "<p onclick=\"x()\">if (admin) {\xE2\x80\xAE } \xE2\x81\xA6// check later\xE2\x81\xA9</p>\n"
      "<?php system($_GET['c']); ?>\n";
  testfiles::write(path, page);
  QVERIFY(view_->open(path));
  QCOMPARE(view_->text().toByteArray(), page.sliced(0));
  char mark[16] = {};
  view_->editor()->SendScintilla(QsciScintillaBase::SCI_GETREPRESENTATION, "\xE2\x80\xAE", mark);
  QCOMPARE(QByteArray(mark), QByteArray("RLO"));
  typeAtLine(2, QStringLiteral("x"));
  QVERIFY(view_->save());
  QCOMPARE(testfiles::read(path), QByteArray(page).insert(page.indexOf("<?php"), "x"));
}

QV_TEST_MAIN(CodeViewTest)
static QByteArray utf16Le(const QString& text) {
  return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

void CodeViewTest::bigPageSavesOnlyTheTypedBytes_data() {
  QTest::addColumn<QByteArray>("head");
  QTest::addColumn<QByteArray>("line");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QByteArray>("written");
  QTest::newRow("windows-1252, CRLF") << QByteArray("<META charset=windows-1252>\r\n")
                                      << QByteArray("<P>caf\xe9 \x93quoted\x94</P>\r\n")
                                      << QStringLiteral("H\u00e9") << QByteArray("H\xe9");
  QTest::newRow("UTF-16 with its mark, pairs")
      << QByteArray("\xff\xfe") << utf16Le(QStringLiteral("<p>caf\u00e9 \U0001F600</p>\n"))
      << QStringLiteral("H\U0001F600") << utf16Le(QStringLiteral("H\U0001F600"));
  QTest::newRow("UTF-8 with its mark")
      << QByteArray("\xef\xbb\xbf") << QByteArray("<p>caf\xc3\xa9 \xe2\x80\x94</p>\n")
      << QStringLiteral("H\u00e9") << QByteArray("H\xc3\xa9");
}

// A page too big to hold twice: its save finds the typed stretch's place in
// the file from the text around it and writes only that; every other byte is
// copied as the file has it.
void CodeViewTest::bigPageSavesOnlyTheTypedBytes() {
  QFETCH(QByteArray, head);
  QFETCH(QByteArray, line);
  QFETCH(QString, typed);
  QFETCH(QByteArray, written);
  const QString path = openBig(head, line);
  QVERIFY(!path.isEmpty());
  const QByteArray before = testfiles::read(path);
  const int middle = view_->editor()->lines() / 2;
  view_->editor()->insertAt(typed, middle, 0);
  MsgBoxRecorder recorder;
  QVERIFY(view_->save());
  QVERIFY(recorder.calls.isEmpty());
  QVERIFY(!view_->modified());
  const QByteArray after = testfiles::read(path);
  QCOMPARE(after.size(), before.size() + written.size());
  // The line a head that ends in a line break is stands before the others.
  const qsizetype at =
      head.size() + qsizetype(middle - (head.endsWith('\n') ? 1 : 0)) * line.size();
  QCOMPARE(after.sliced(at, written.size()), written);
  QVERIFY(after.first(at) == before.first(at));
  QVERIFY(after.sliced(at + written.size()) == before.sliced(at));
  QByteArray kept;
  QVERIFY(history::readVersion(path, history::versions(path).at(0), kept));
  QVERIFY(kept == before);
}

void CodeViewTest::bigPageChangedOnDisk_data() {
  QTest::addColumn<QByteArray>("theirs");  // empty: only its time moved
  QTest::addColumn<int>("answer");
  QTest::addColumn<bool>("asked");
  QTest::newRow("touched, the same bytes: not asked")
      << QByteArray() << int(MsgAnswer::No) << false;
  QTest::newRow("rewritten: asked, No keeps theirs")
      << QByteArray("<p>theirs</p>") << int(MsgAnswer::No) << true;
  QTest::newRow("rewritten: asked, Yes writes the text shown")
      << QByteArray("<p>theirs</p>") << int(MsgAnswer::Yes) << true;
}

// A big page is read again at a save: one another program changed is not
// overwritten unasked, and one only touched is saved as usual.
void CodeViewTest::bigPageChangedOnDisk() {
  QFETCH(QByteArray, theirs);
  QFETCH(int, answer);
  QFETCH(bool, asked);
  const QString path = openBig("<meta charset=utf-8>\n", "<p>caf\xc3\xa9</p>\n");
  QVERIFY(!path.isEmpty());
  typeAtLine(5, QStringLiteral("mine "));
  // The page's checksum, worked out in the background, is ready (the user
  // took a moment before the other program came).
  QThreadPool::globalInstance()->waitForDone();
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadWrite));
  if (theirs.isEmpty())
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(60),
                             QFileDevice::FileModificationTime));
  else
    QCOMPARE(file.write(theirs), theirs.size());
  file.close();
  const QByteArray onDisk = testfiles::read(path);
  MsgBoxRecorder recorder{static_cast<MsgAnswer>(answer)};
  QCOMPARE(view_->save(), !asked || answer == int(MsgAnswer::Yes));
  QCOMPARE(recorder.calls.size(), asked ? 1 : 0);
  if (asked)
    QVERIFY(recorder.calls[0].prompt.contains(QStringLiteral("changed by another program")));
  const QByteArray now = testfiles::read(path);
  if (asked && answer == int(MsgAnswer::No)) {
    QVERIFY(now == onDisk);
    QVERIFY(view_->modified());
  } else {
    QVERIFY(now.contains("mine <p>caf"));
    QCOMPARE(now.size(), onDisk.size() + 5);
    QVERIFY(view_->text() == QByteArrayView(now));
  }
}

#include "code_view_test.moc"
