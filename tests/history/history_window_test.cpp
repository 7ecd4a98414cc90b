// The Page History window, the one-step undo and the question asked when a
// page would be written without a history copy, as the user meets them.
#include "history/history_window.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

#include "files/history_action.h"
#include "files/history_faults.h"
#include "files/page_file.h"
#include "files/page_history.h"
#include "files/v_file.h"
#include "history/history_questions.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"

class HistoryWindowTest final : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void listsVersionsNewestFirst();
  void restoreWritesTheVersionBackAndIsKept();
  void failedRestoreIsReported();
  void undoLastChange_data();
  void undoLastChange();
  void askedBeforeWritingWithoutCopy_data();
  void askedBeforeWritingWithoutCopy();

 private:
  template <typename T>
  T* child(const char* name) {
    return window_->findChild<T*>(QString::fromLatin1(name));
  }
  // The page with three kept versions: v0 (Edit), v1 (Insert Code), v2 (Page Title); v3 now.
  void writeVersions();

  std::unique_ptr<QTemporaryDir> dir_;
  QString page_;
  QComboBox pageList_;
  QPointer<frmHistory> window_;
};

void HistoryWindowTest::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  // A name a page could use to look like markup: shown as it is.
  page_ = dir_->filePath(QStringLiteral("<b>sales.htm"));
  pageList_.clear();
  pageList_.addItem(page_);
}

void HistoryWindowTest::cleanup() {
  delete window_;
  history::stopAsking();
}

void HistoryWindowTest::writeVersions() {
  testfiles::write(page_, "<p>v0</p>\n<p>same</p>\n");
  QVERIFY(pagefile::save("<p>v1</p>\n<p>same</p>\n", page_));
  {
    const history::Action action(QStringLiteral("Insert Code"));
    QVERIFY(pagefile::save("<p>v2</p>\n<p>same</p>\n", page_));
  }
  const history::Action action(QStringLiteral("Page Title"));
  QVERIFY(pagefile::save("<p>v3</p>\n<p>same</p>\n", page_));
}

void HistoryWindowTest::listsVersionsNewestFirst() {
  writeVersions();
  window_ = new frmHistory(&pageList_, nullptr);
  window_->show();
  QCOMPARE(window_->windowTitle(), QStringLiteral("Page History"));
  QCOMPARE(child<QLabel>("lblPage")->textFormat(), Qt::PlainText);
  QVERIFY(child<QLabel>("lblPage")->text().contains(QStringLiteral("<b>sales.htm")));
  QCOMPARE(child<QPushButton>("cmdRestore")->text(), QStringLiteral("Restore This Version"));
  QVERIFY(child<QPushButton>("cmdClose"));

  auto* list = child<QListWidget>("lstVersions");
  QCOMPARE(list->count(), 4);
  QCOMPARE(list->item(0)->text(), QStringLiteral("as it is now"));
  const QStringList expected{"Page Title", "Insert Code", "Edit"};
  for (int row = 1; row <= 3; ++row) {
    const QString text = list->item(row)->text();
    QVERIFY2(text.contains(expected[row - 1]), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("22 bytes")), qPrintable(text));
    QCOMPARE(text.endsWith(QStringLiteral("(original)")), row == 3);
  }
  // The newest version is chosen first: what the last change did.
  QCOMPARE(list->currentRow(), 1);
  const QString diff = child<QPlainTextEdit>("txtDiff")->toPlainText();
  QVERIFY2(diff.contains(QStringLiteral("\n- <p>v2</p>\n+ <p>v3</p>\n  <p>same</p>\n")),
           qPrintable(diff));
  QVERIFY(child<QPushButton>("cmdRestore")->isEnabled());

  list->setCurrentRow(0);
  QVERIFY(!child<QPushButton>("cmdRestore")->isEnabled());
  QVERIFY(child<QPlainTextEdit>("txtDiff")->toPlainText().startsWith(
      QStringLiteral("This is the page")));

  QTest::mouseClick(child<QPushButton>("cmdClose"), Qt::LeftButton);
  QTRY_VERIFY(!window_);  // closed and deleted
}

void HistoryWindowTest::restoreWritesTheVersionBackAndIsKept() {
  writeVersions();
  window_ = new frmHistory(&pageList_, nullptr);
  auto* list = child<QListWidget>("lstVersions");
  list->setCurrentRow(3);  // the original
  QTest::mouseClick(child<QPushButton>("cmdRestore"), Qt::LeftButton);
  QCOMPARE(testfiles::read(page_), QByteArray("<p>v0</p>\n<p>same</p>\n"));
  // The restore is listed as the newest version, so it can be taken back.
  QCOMPARE(list->count(), 5);
  QVERIFY(list->item(1)->text().contains(QStringLiteral("Restore")));
  QCOMPARE(list->currentRow(), 0);
  list->setCurrentRow(1);
  QTest::mouseClick(child<QPushButton>("cmdRestore"), Qt::LeftButton);
  QCOMPARE(testfiles::read(page_), QByteArray("<p>v3</p>\n<p>same</p>\n"));
}

void HistoryWindowTest::failedRestoreIsReported() {
  writeVersions();
  window_ = new frmHistory(&pageList_, nullptr);
  QVERIFY(QFile::setPermissions(page_, QFile::ReadOwner));
  MsgBoxRecorder answers;
  child<QListWidget>("lstVersions")->setCurrentRow(2);
  QTest::mouseClick(child<QPushButton>("cmdRestore"), Qt::LeftButton);
  QFile::setPermissions(page_, QFile::ReadOwner | QFile::WriteOwner);
  QCOMPARE(testfiles::read(page_), QByteArray("<p>v3</p>\n<p>same</p>\n"));
  QCOMPARE(answers.calls.size(), 1);
  QCOMPARE(answers.calls[0].title, QStringLiteral("File Error"));
  QCOMPARE(child<QListWidget>("lstVersions")->count(), 4);
}

void HistoryWindowTest::undoLastChange_data() {
  QTest::addColumn<bool>("withHistory");
  QTest::addColumn<int>("answer");
  QTest::addColumn<QByteArray>("after");
  QTest::newRow("nothing kept yet") << false << int(MsgAnswer::Ok) << QByteArray("only");
  QTest::newRow("user says no") << true << int(MsgAnswer::No)
                                << QByteArray("<p>v3</p>\n<p>same</p>\n");
  QTest::newRow("user says yes") << true << int(MsgAnswer::Yes)
                                 << QByteArray("<p>v2</p>\n<p>same</p>\n");
}

void HistoryWindowTest::undoLastChange() {
  QFETCH(bool, withHistory);
  QFETCH(int, answer);
  QFETCH(QByteArray, after);
  if (withHistory)
    writeVersions();
  else
    testfiles::write(page_, "only");
  MsgBoxRecorder answers{MsgAnswer(answer)};
  history::undoLastChange(page_, nullptr, nullptr);
  QCOMPARE(testfiles::read(page_), after);
  QCOMPARE(answers.calls.size(), 1);
  QCOMPARE(answers.calls[0].title, QStringLiteral("Page History"));
  if (!withHistory) {
    QCOMPARE(answers.calls[0].prompt,
             QStringLiteral("There is no earlier version of <b>sales.htm to go back to."));
    return;
  }
  const history::Version newest = history::versions(page_).front();
  // The question names what is undone and when; a yes is itself kept.
  const QString when = QStringLiteral("Undo the last change to <b>sales.htm (Page Title, ");
  QVERIFY2(answers.calls[0].prompt.startsWith(when), qPrintable(answers.calls[0].prompt));
  QCOMPARE(answers.calls[0].buttons, MsgButtons::YesNo);
  QCOMPARE(newest.action, answer == int(MsgAnswer::Yes) ? QStringLiteral("Restore")
                                                        : QStringLiteral("Page Title"));
}

void HistoryWindowTest::askedBeforeWritingWithoutCopy_data() {
  QTest::addColumn<int>("answer");
  QTest::addColumn<QByteArray>("after");
  QTest::newRow("yes writes") << int(MsgAnswer::Yes) << QByteArray("new");
  QTest::newRow("no leaves the page") << int(MsgAnswer::No) << QByteArray("old");
}

void HistoryWindowTest::askedBeforeWritingWithoutCopy() {
  QFETCH(int, answer);
  QFETCH(QByteArray, after);
  testfiles::write(page_, "old");
  history::askBeforeWritingWithoutCopy(nullptr);
  MsgBoxRecorder answers{MsgAnswer(answer)};
  const history::ScopedFault full(
      [](history::Step) { return QStringLiteral("No space left on device"); });
  const Status saved = pagefile::save("new", page_);
  QCOMPARE(saved.ok(), answer == int(MsgAnswer::Yes));
  QCOMPARE(testfiles::read(page_), after);
  QCOMPARE(answers.calls.size(), 1);
  QCOMPARE(answers.calls[0].prompt,
           QStringLiteral("A history copy of <b>sales.htm could not be kept: No space left on "
                          "device.\n\nSave without a history copy?"));
  QCOMPARE(answers.calls[0].buttons, MsgButtons::YesNo);
}

QV_TEST_MAIN(HistoryWindowTest)
#include "history_window_test.moc"
