// The main window's ways into the page history: the History link in the
// header band, Ctrl+Shift+H, and Ctrl+Shift+Z (undo while viewing only).
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "app/main_window.h"
#include "app/main_window_layout.h"
#include "files/page_file.h"
#include "files/page_history.h"
#include "files/v_file.h"
#include "history/history_window.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "widgets/link_label.h"

class HistoryLinkTest final : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void linkStaysBeforeTheProButton_data();
  void linkStaysBeforeTheProButton();
  void linkSitsInTheHeaderBand();
  void shortcutOpensTheWindow();
  void undoWhileViewing();
  void undoKeysAreTheEditorsWhileEditing();

 private:
  std::unique_ptr<Form2> form_;
  QComboBox* combo_ = nullptr;
  QTemporaryDir dir_;
  QString page_;
};

void HistoryLinkTest::init() {
  form_ = std::make_unique<Form2>();
  form_->findChild<QTimer*>("Timer1")->stop();  // no welcome window
  combo_ = form_->findChild<QComboBox*>("Combo1");
  page_ = dir_.filePath(QStringLiteral("sales.htm"));
  testfiles::write(page_, "<p>before</p>");
  QVERIFY(pagefile::save("<p>after</p>", page_));
  combo_->addItem(page_);
}

void HistoryLinkTest::cleanup() {
  MsgBoxRecorder answers(MsgAnswer::Discard);
  form_.reset();
}

void HistoryLinkTest::linkStaysBeforeTheProButton_data() {
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("historyLeft");
  QTest::newRow("as designed") << 16515 << 11345;
  QTest::newRow("10000 wide") << 10000 << 4830;
  QTest::newRow("too narrow for both") << 4000 << 0;
  QTest::newRow("no width at all") << 0 << 0;
}

void HistoryLinkTest::linkStaysBeforeTheProButton() {
  QFETCH(int, width);
  QFETCH(int, historyLeft);
  const MainWindowLayout l = layoutForWidth(width);
  QCOMPARE(l.lblHistoryLeft, historyLeft);
}

void HistoryLinkTest::linkSitsInTheHeaderBand() {
  form_->show();
  for (const int width : {1100, 800}) {
    form_->resize(width, form_->height());
    QApplication::processEvents();
    auto* link = form_->findChild<LinkLabel*>("lblHistory");
    QVERIFY(link);
    QCOMPARE(link->text(), QStringLiteral("History"));
    QCOMPARE(link->parentWidget(), form_->findChild<QWidget*>("Picture2"));
    QVERIFY(link->isVisible());
    const QRect pro = form_->findChild<QPushButton*>("cmdPro")->geometry();
    QVERIFY2(link->geometry().right() < pro.left(), "History overlaps the Pro button");
    QVERIFY(link->geometry().left() >= 0);
  }
}

void HistoryLinkTest::shortcutOpensTheWindow() {
  form_->show();
  form_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(form_.get()));
  int versions = -1;
  QString shownPage;
  QTimer::singleShot(0, this, [&] {
    auto* window = qobject_cast<frmHistory*>(QApplication::activeModalWidget());
    if (!window) return;
    shownPage = window->page();
    versions = window->findChild<QListWidget*>("lstVersions")->count();
    window->close();
  });
  QTest::keyClick(form_.get(), Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(shownPage, page_);
  QCOMPARE(versions, 2);  // "as it is now" and the page before its save
}

void HistoryLinkTest::undoWhileViewing() {
  MsgBoxRecorder answers(MsgAnswer::Yes);
  QTest::keyClick(form_.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(testfiles::read(page_), QByteArray("<p>before</p>"));
  QCOMPARE(answers.calls.size(), 1);
  QVERIFY(answers.calls[0].prompt.startsWith(
      QStringLiteral("Undo the last change to sales.htm (Edit, ")));
  // Once more takes the undo back.
  QTest::keyClick(form_.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(testfiles::read(page_), QByteArray("<p>after</p>"));
  QVERIFY(answers.calls[1].prompt.startsWith(
      QStringLiteral("Undo the last change to sales.htm (Restore, ")));
}

void HistoryLinkTest::undoKeysAreTheEditorsWhileEditing() {
  MsgBoxRecorder answers(MsgAnswer::Yes);
  QTest::mouseClick(form_->findChild<QPushButton*>("Command2"), Qt::LeftButton);  // Edit Page
  QVERIFY(form_->findChild<QPushButton*>("Command2")->text() != QStringLiteral("Edit Page"));
  QTest::keyClick(form_.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(testfiles::read(page_), QByteArray("<p>after</p>"));
  QVERIFY(answers.calls.isEmpty());
}

QV_TEST_MAIN(HistoryLinkTest)
#include "history_link_test.moc"
