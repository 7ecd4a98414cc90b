#include "help/quick_help.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "app/main_window.h"
#include "help/save_switch.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "support/write_denied.h"

namespace {

// The switch file is the real one, beside this test program: no other test
// program lives in this folder.
QString switchFile() { return saveswitch::path(); }

void removeSwitch() {
  QDir(switchFile()).removeRecursively();
  QFile::remove(switchFile());
}

// "": no switch file; "old": a file with that content; "empty"; "folder".
void makeSwitch(const QString& state) {
  removeSwitch();
  if (state == u"folder")
    QDir().mkpath(switchFile() + QStringLiteral("/inside"));
  else if (state == u"empty")
    testfiles::write(switchFile(), {});
  else if (!state.isEmpty())
    testfiles::write(switchFile(), state.toUtf8());
}

QString switchState() {
  const QFileInfo info(switchFile());
  if (info.isDir()) return QStringLiteral("folder");
  if (!info.exists()) return {};
  const QByteArray bytes = testfiles::read(switchFile());
  return bytes.isEmpty() ? QStringLiteral("empty") : QString::fromUtf8(bytes);
}

}  // namespace

class QuickHelpTest final : public QObject {
  Q_OBJECT
 private slots:
  void init() { removeSwitch(); }
  void cleanup() { removeSwitch(); }
  void textsAndStyles();
  void showsTheSwitch_data();
  void showsTheSwitch();
  void closing_data();
  void closing();
  void readOnlyProgramFolder_data();
  void readOnlyProgramFolder();
  void openedModallyByTheHelpLink();
};

void QuickHelpTest::textsAndStyles() {
  frmQuickHelp w;
  w.show();
  QCOMPARE(w.objectName(), QStringLiteral("frmQuickHelp"));
  QCOMPARE(w.windowTitle(), QStringLiteral("Quick Help"));

  // Everything the window shows, top to bottom.
  QList<QWidget*> shown;
  for (QWidget* c : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (c->isVisible()) shown << c;
  std::sort(shown.begin(), shown.end(), [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
  const QStringList expected = {
      "Software Requirements",
      "To use this software your computer needs \"Internet Explorer\" installed (99% of the "
      "Windows computers come with it).",
      "Using the Software",
      "Using the software it's really easy: Just drag a page that you want to edit (.htm or .html) "
      "to the software, click \"Edit Page\" and start making your text modifications. Then Save "
      "your changes.",
      "Some pages may look different in this browser than how you see them under Google Chrome or "
      "Firefox and it's ok.",
      "This software doesn't replace a web design tool. It's main goal is to help you to quickly "
      "setup a reseller website.",
      "If you want to add an order button (PayPal, JVZoo, WarriorPlus etc), just edit the page and "
      "place the following tag where you want to show the button: [BUYBUTTON]. Then save your "
      "page,  click the \"Add HTML Code\" button and follow the instructions.",
      "Problems to Save Your Page?",
      "If you click the \"Save / Discard Changes\" button and nothing happens, then please enable "
      "the following option and retry.",
      "Yes, I'm Experiencing This.",
      "Please >> Only enable this option if you click that button and nothing happens (the "
      "software doesn't give you an option to save or discard the changes).",
      "Close",
  };
  QStringList texts;
  for (QWidget* c : shown) {
    if (auto* l = qobject_cast<QLabel*>(c)) texts << l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(c)) texts << b->text();
  }
  QCOMPARE(texts, expected);
  QCOMPARE(shown.size(), expected.size());  // no hidden text box among them
  QVERIFY(w.findChildren<QLineEdit*>().isEmpty() && w.findChildren<QTextEdit*>().isEmpty());

  QCOMPARE(shown[9]->objectName(), QStringLiteral("Check1"));
  QCOMPARE(shown[11]->objectName(), QStringLiteral("Command1"));
  for (int heading : {0, 2, 7}) QVERIFY(shown[heading]->font().bold());
  for (int text : {1, 3, 4, 5, 6, 8, 10}) QVERIFY(!shown[text]->font().bold());
  for (int notice : {4, 5}) {
    QCOMPARE(shown[notice]->palette().color(QPalette::WindowText), QColor(0, 64, 0));
    QCOMPARE(shown[notice]->palette().color(QPalette::Window), QColor(255, 255, 192));
    QVERIFY(shown[notice]->autoFillBackground());
  }
  QCOMPARE(shown[10]->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  for (int other : {1, 3, 6, 8})
    QCOMPARE(shown[other]->palette().color(QPalette::WindowText),
             w.palette().color(QPalette::WindowText));

  // Every text is readable whole with this machine's fonts, nothing overlaps.
  for (int i = 0; i < shown.size(); ++i) {
    QWidget* c = shown[i];
    QVERIFY2(w.rect().contains(c->geometry()), qPrintable(c->objectName()));
    if (auto* l = qobject_cast<QLabel*>(c))
      QVERIFY2(l->heightForWidth(l->width()) <= l->height(), qPrintable(l->text()));
    else
      QVERIFY(c->sizeHint().width() <= c->width());
    if (i > 0) QVERIFY(shown[i - 1]->geometry().bottom() < c->y());
  }
}

void QuickHelpTest::showsTheSwitch_data() {
  QTest::addColumn<QString>("state");
  QTest::addColumn<bool>("checked");
  QTest::newRow("no switch file") << "" << false;
  QTest::newRow("switch file") << "Text1" << true;
  QTest::newRow("empty switch file counts") << "empty" << true;
  QTest::newRow("a folder of that name does not") << "folder" << false;
}

void QuickHelpTest::showsTheSwitch() {
  QFETCH(QString, state);
  QFETCH(bool, checked);
  makeSwitch(state);
  frmQuickHelp w;
  QCOMPARE(w.findChild<QCheckBox*>(QStringLiteral("Check1"))->isChecked(), checked);
}

void QuickHelpTest::closing_data() {
  QTest::addColumn<QString>("before");
  QTest::addColumn<int>("toggle");   // Qt::CheckState to set; -1 leaves the box
  QTest::addColumn<QString>("how");  // "Close", "title bar", "Esc"
  QTest::addColumn<QString>("after");
  QTest::addColumn<QString>("message");

  const int on = Qt::Checked, off = Qt::Unchecked, leave = -1;
  QTest::newRow("checked and closed: switch file created") << "" << on << "Close"
                                                           << "Text1"
                                                           << "";
  QTest::newRow("left checked: switch file written anew") << "old" << leave << "Close"
                                                          << "Text1"
                                                          << "";
  QTest::newRow("empty switch file left checked") << "empty" << leave << "Close"
                                                  << "Text1"
                                                  << "";
  QTest::newRow("unchecked: switch file deleted") << "old" << off << "Close"
                                                  << ""
                                                  << "";
  QTest::newRow("unchecked, no file: nothing changes") << "" << leave << "Close"
                                                       << ""
                                                       << "";
  QTest::newRow("checked, closed by the title bar: no file") << "" << on << "title bar"
                                                             << ""
                                                             << "";
  QTest::newRow("unchecked, closed by the title bar: file stays") << "old" << off << "title bar"
                                                                  << "old"
                                                                  << "";
  QTest::newRow("checked, closed with Esc: no file") << "" << on << "Esc"
                                                     << ""
                                                     << "";
  QTest::newRow("folder named save.alt never deleted") << "folder" << leave << "Close"
                                                       << "folder"
                                                       << "";
  QTest::newRow("folder named save.alt cannot become the switch")
      << "folder" << on << "Close"
      << "folder"
      << "Could not save save.alt: it is a folder, not a file.";
}

void QuickHelpTest::closing() {
  QFETCH(QString, before);
  QFETCH(int, toggle);
  QFETCH(QString, how);
  QFETCH(QString, after);
  QFETCH(QString, message);

  makeSwitch(before);
  QPointer<frmQuickHelp> w = new frmQuickHelp;
  w->show();
  auto* check = w->findChild<QCheckBox*>(QStringLiteral("Check1"));
  // Clicks, as the user toggles the box.
  if (toggle >= 0 && check->checkState() != Qt::CheckState(toggle))
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
  if (toggle >= 0) QCOMPARE(check->checkState(), Qt::CheckState(toggle));

  MsgBoxRecorder rec;
  if (how == u"Close")
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
  else if (how == u"Esc")
    QTest::keyClick(w, Qt::Key_Escape);
  else
    w->close();
  QTRY_VERIFY(w.isNull());

  QCOMPARE(switchState(), after);
  // The main window tests the file at each save: the change counts at once.
  QCOMPARE(saveswitch::isOn(), !after.isEmpty() && after != u"folder");
  if (message.isEmpty()) {
    QVERIFY(rec.calls.isEmpty());
  } else {
    QCOMPARE(rec.calls.size(), 1);
    QVERIFY2(rec.calls[0].prompt.startsWith(message), qPrintable(rec.calls[0].prompt));
    QCOMPARE(rec.calls[0].title, QStringLiteral("File Error"));
  }
}

void QuickHelpTest::readOnlyProgramFolder_data() {
  QTest::addColumn<QString>("before");
  QTest::addColumn<bool>("check");
  QTest::addColumn<QString>("after");
  QTest::addColumn<QString>("message");

  QTest::newRow("switch cannot be turned on") << "" << true << ""
                                              << "Could not save save.alt: ";
  QTest::newRow("switch cannot be turned off") << "old" << false << "old"
                                               << "Could not delete save.alt: ";
  QTest::newRow("switch already on stays on without a word") << "old" << true << "old"
                                                             << "";
}

// As in a system-wide install: the message says what could not be done and
// why, and the window closes with the switch as it really is.
void QuickHelpTest::readOnlyProgramFolder() {
  QFETCH(QString, before);
  QFETCH(bool, check);
  QFETCH(QString, after);
  QFETCH(QString, message);

  makeSwitch(before);
  QPointer<frmQuickHelp> w = new frmQuickHelp;
  w->show();
  w->findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(check);
  MsgBoxRecorder rec;
  {
    const WriteDenied denied({QCoreApplication::applicationDirPath()});
    if (!denied.active()) QSKIP("cannot take write access away from this process");
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
  }
  QTRY_VERIFY(w.isNull());
  QCOMPARE(switchState(), after);
  if (message.isEmpty()) {
    QVERIFY(rec.calls.isEmpty());
    return;
  }
  QCOMPARE(rec.calls.size(), 1);
  const QString prompt = rec.calls[0].prompt;
  QVERIFY2(prompt.startsWith(message), qPrintable(prompt));
  // As for a system-wide install, the user learns who can change the switch.
  QVERIFY2(prompt.contains(QStringLiteral("only an administrator")), qPrintable(prompt));
  // The full path follows, so the user can tell an administrator.
  QVERIFY2(prompt.endsWith(switchFile()), qPrintable(prompt));
}

void QuickHelpTest::openedModallyByTheHelpLink() {
  makeSwitch(QStringLiteral("Text1"));
  Form2 main;
  main.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
  main.show();
  bool seen = false;
  QTimer::singleShot(0, &main, [&] {
    auto* help = main.findChild<frmQuickHelp*>();
    QVERIFY(help);
    seen = help->isVisible() && help->isModal() &&
           help->findChild<QCheckBox*>(QStringLiteral("Check1"))->isChecked();
    help->findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(false);
    QTest::mouseClick(help->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
  });
  QTest::mouseClick(main.findChild<QLabel*>(QStringLiteral("lblHelp")), Qt::LeftButton);
  QVERIFY(seen);
  QCOMPARE(switchState(), QString());
  QTRY_VERIFY(!main.findChild<frmQuickHelp*>());
}

QV_TEST_MAIN(QuickHelpTest)
#include "quick_help_test.moc"
