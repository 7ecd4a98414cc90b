// My Code: a kept code put on pages through Insert Code, found there, and
// changed on every page after one question; kept across a restart.
#include "tools/snippets_window.h"

#include <Qsci/qsciscintilla.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "tools/insert_code.h"
#include "tools/pro_options.h"
#include "tools/snippet_store.h"
#include "widgets/link_label.h"

namespace {

template <typename W>
W* child(QWidget* window, const char* name) {
  W* w = window->findChild<W*>(QString::fromLatin1(name));
  if (!w) qFatal("no control %s", name);
  return w;
}

void click(QWidget* window, const char* name) {
  QTest::mouseClick(child<QPushButton>(window, name), Qt::LeftButton);
}

const QString kOld =
    QStringLiteral("<a href=\"https://pay.example/?item=7&amp;price=10\">Buy – €10</a>");
const QString kNew =
    QStringLiteral("<a href=\"https://pay.example/?item=7&amp;price=12\">Buy – €12</a>");
const QByteArray kCp1252Head =
    "<html><head><meta charset=\"windows-1252\"></head>\r\n<body>caf\xE9 ";

// The code as Insert Code writes it into a windows-1252 page.
QByteArray asReferences(const QString& code) {
  QByteArray out;
  for (const QChar c : code)
    out += c.unicode() < 0x80 ? QByteArray(1, char(c.unicode()))
                              : "&#" + QByteArray::number(c.unicode()) + ';';
  return out;
}

}  // namespace

class SnippetsWindowTest final : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void keptPutOnPagesFoundAndChangedEverywhere();
  void pagesThatCannotBeUpdatedAreReportedAndLeft();
  void aDamagedFileIsSetAsideWithAMessage();
  void everyControlSaysWhatItDoes();
  void headCodeTakesAKeptCodeAsItIs();

 private:
  QString page(const char* name, const QByteArray& bytes) {
    const QString path = dir_->filePath(QString::fromLatin1(name));
    testfiles::write(path, bytes);
    return path;
  }
  frmSnippets* open() {
    auto* w = new frmSnippets(&pageList_, nullptr);
    w->show();
    return w;
  }
  // Gives the shown snippet a name and code and saves it.
  static void keep(frmSnippets* w, const QString& name, const QString& code) {
    child<QLineEdit>(w, "txtSnippetName")->setText(name);
    QVERIFY(QMetaObject::invokeMethod(child<QsciScintilla>(w, "txtSnippetCode"), "setText",
                                      Q_ARG(QString, code)));
    click(w, "cmdSaveSnippet");
  }

  std::unique_ptr<QTemporaryDir> dir_;
  QComboBox pageList_;
};

void SnippetsWindowTest::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  QVERIFY(dir_->isValid());
  snippetstore::setFile(dir_->filePath(QStringLiteral("data/snippets.json")));
  pageList_.clear();
  pageList_.setEditable(true);
}

void SnippetsWindowTest::cleanup() { snippetstore::setFile({}); }

void SnippetsWindowTest::keptPutOnPagesFoundAndChangedEverywhere() {
  MsgBoxRecorder messages(MsgAnswer::Yes);
  const QString sales = page("sales.htm", "<meta charset=utf-8><p>\xC3\xA9</p>[BUYBUTTON]\n");
  const QString order = page("order.htm", kCp1252Head + "[BUYBUTTON]</body>\r\n");
  const QString terms = page("terms.htm",
                             "<p>Buy \xE2\x82\xAC"
                             "10</p>");
  pageList_.addItems({sales, order, terms});
  pageList_.setEditText(sales);

  QPointer<frmSnippets> w = open();
  keep(w, QStringLiteral("Buy Button"), kOld);
  QCOMPARE(child<QListWidget>(w, "lstSnippets")->count(), 1);
  QCOMPARE(child<QLabel>(w, "lblUsedOn")->text(), QStringLiteral("Used on 0 of 3 pages"));

  // Insert Code, on every page, with the kept code picked from cboSnippet.
  auto* form = new Form3(&pageList_, nullptr);
  form->show();
  auto* chooser = child<QComboBox>(form, "cboSnippet");
  QCOMPARE(chooser->count(), 1);
  emit chooser->activated(0);
  child<QCheckBox>(form, "chkAllPages")->setChecked(true);
  click(form, "Command1");
  delete form;
  const QByteArray salesBefore = testfiles::read(sales);
  const QByteArray orderBefore = testfiles::read(order);
  QCOMPARE(salesBefore, "<meta charset=utf-8><p>\xC3\xA9</p>" + kOld.toUtf8() + "\n");
  QCOMPARE(orderBefore, kCp1252Head + asReferences(kOld) + "</body>\r\n");

  w->refreshUsedOn();
  QCOMPARE(child<QLabel>(w, "lblUsedOn")->text(), QStringLiteral("Used on 2 of 3 pages"));
  QCOMPARE(child<QListWidget>(w, "lstUsedOn")->count(), 2);
  QVERIFY(!child<QPushButton>(w, "cmdUpdatePages")->isEnabled());

  // The price changes: the pages hold the old code until they are updated.
  keep(w, QStringLiteral("Buy Button"), kNew);
  QCOMPARE(child<QLabel>(w, "lblUsedOn")->text(),
           QStringLiteral("Used on 2 of 3 pages, all with the old code"));
  QVERIFY(child<QPushButton>(w, "cmdUpdatePages")->isEnabled());
  QCOMPARE(testfiles::read(sales), salesBefore);

  messages.calls.clear();
  click(w, "cmdUpdatePages");
  QCOMPARE(messages.calls.size(), 2);
  QCOMPARE(messages.calls[0].prompt, QStringLiteral("Replace the old code on 2 pages?"));
  QVERIFY(messages.calls[1].prompt.startsWith(QStringLiteral("Replaced 2 matches in 2 pages.")));
  QByteArray salesAfter = salesBefore;
  salesAfter.replace(kOld.toUtf8(), kNew.toUtf8());
  QByteArray orderAfter = orderBefore;
  orderAfter.replace(asReferences(kOld), asReferences(kNew));
  QCOMPARE(testfiles::read(sales), salesAfter);
  QCOMPARE(testfiles::read(order), orderAfter);
  QCOMPARE(testfiles::read(terms), QByteArray("<p>Buy \xE2\x82\xAC"
                                              "10</p>"));
  QCOMPARE(child<QLabel>(w, "lblUsedOn")->text(), QStringLiteral("Used on 2 of 3 pages"));
  w->close();

  // A restart: the list is read again from its file.
  QPointer<frmSnippets> again = open();
  QCOMPARE(child<QListWidget>(again, "lstSnippets")->count(), 1);
  QCOMPARE(child<QLineEdit>(again, "txtSnippetName")->text(), QStringLiteral("Buy Button"));
  QCOMPARE(child<QsciScintilla>(again, "txtSnippetCode")->text(), kNew);
  again->close();
}

void SnippetsWindowTest::pagesThatCannotBeUpdatedAreReportedAndLeft() {
  const QByteArray old = "<p>" + kOld.toUtf8() + "</p>";
  const QString done = page("done.htm", "<meta charset=utf-8>" + old);
  const QString locked = page("locked.htm", "<meta charset=utf-8>" + old);
  const QString changed = page("changed.htm", "<meta charset=utf-8>" + old);
  QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
  pageList_.addItems({done, locked, changed});

  MsgBoxRecorder quiet;
  QPointer<frmSnippets> w = open();
  keep(w, QStringLiteral("Buy"), kOld);
  keep(w, QStringLiteral("Buy"), kNew);

  // Another program writes one page while the question is up.
  QList<MsgBoxCall> calls;
  setMsgBoxHandler([&](const MsgBoxCall& call) {
    calls.append(call);
    if (call.buttons == MsgButtons::YesNo) {
      testfiles::write(changed, testfiles::read(changed) + "<!-- theirs -->");
      return MsgAnswer::Yes;
    }
    return MsgAnswer::Ok;
  });
  click(w, "cmdUpdatePages");
  setMsgBoxHandler({});
  QCOMPARE(calls.size(), 2);
  QCOMPARE(calls[0].prompt, QStringLiteral("Replace the old code on 3 pages?"));
  const QString report = calls[1].prompt;
  QCOMPARE(calls[1].icon, MsgIcon::Warning);
  QVERIFY2(report.contains(QStringLiteral("locked.htm: failed, could not be saved: the file is "
                                          "read-only")),
           qPrintable(report));
  QVERIFY2(report.contains(QStringLiteral("changed.htm: failed, changed since it was searched")),
           qPrintable(report));
  QVERIFY2(report.contains(QStringLiteral("done.htm: replaced 1")), qPrintable(report));
  QCOMPARE(testfiles::read(done), "<meta charset=utf-8><p>" + kNew.toUtf8() + "</p>");
  QCOMPARE(testfiles::read(locked), "<meta charset=utf-8>" + old);
  QCOMPARE(testfiles::read(changed), "<meta charset=utf-8>" + old + "<!-- theirs -->");
  w->close();
}

void SnippetsWindowTest::aDamagedFileIsSetAsideWithAMessage() {
  const QString file = snippetstore::file();
  QDir().mkpath(QFileInfo(file).absolutePath());
  testfiles::write(file, "{\"format\":1,\"snippets\":[{\"na");
  MsgBoxRecorder messages;
  QPointer<frmSnippets> w = open();
  QCOMPARE(messages.calls.size(), 1);
  QVERIFY(messages.calls[0].prompt.contains(QStringLiteral("could not be read")));
  QVERIFY(messages.calls[0].prompt.contains(QStringLiteral("snippets.json.damaged-")));
  QCOMPARE(child<QListWidget>(w, "lstSnippets")->count(), 0);
  // What is kept next is a list of its own; the damaged file stays beside it.
  keep(w, QStringLiteral("Footer"), QStringLiteral("<p>f</p>"));
  QCOMPARE(snippetstore::load(file).snippets.size(), 1);
  QCOMPARE(QDir(QFileInfo(file).absolutePath()).entryList({"snippets.json.damaged-*"}).size(), 1);
  w->close();
}

void SnippetsWindowTest::everyControlSaysWhatItDoes() {
  MsgBoxRecorder quiet;
  QPointer<frmSnippets> w = open();
  for (const char* name :
       {"lstSnippets", "txtSnippetName", "txtSnippetCode", "cmdNewSnippet", "cmdSaveSnippet",
        "cmdDeleteSnippet", "lblUsedOn", "lstUsedOn", "cmdUpdatePages", "cmdInsertSnippet",
        "cmdImport", "cmdExport", "cmdClose"})
    QVERIFY2(!child<QWidget>(w, name)->toolTip().isEmpty(), name);
  w->close();
}

void SnippetsWindowTest::headCodeTakesAKeptCodeAsItIs() {
  MsgBoxRecorder messages;
  const QString sales = page("sales.htm", "<html><head><meta charset=utf-8></head></html>");
  pageList_.addItem(sales);
  QVERIFY(
      snippetstore::save({{QStringLiteral("Pixel"), QStringLiteral("<!-- id\u00A0=\t7 -->"), {}}},
                         snippetstore::file()));
  QPointer<frmPRO> pro = new frmPRO(&pageList_, nullptr);
  pro->show();
  QTest::mouseClick(child<LinkLabel>(pro, "lblMenu_1"), Qt::LeftButton);
  emit child<QComboBox>(pro, "cboHeadSnippet")->activated(0);
  click(pro, "cmdUpdate_1");
  // The no-break space stays one: the code in the page is the code kept.
  QCOMPARE(testfiles::read(sales),
           QByteArray("<html><head><meta charset=utf-8><!-- id\xC2\xA0=\t7 --></head></html>"));
  delete pro;
}

QV_TEST_MAIN(SnippetsWindowTest)
#include "snippets_window_test.moc"
