// A write that fails at any step leaves the page exactly as it was, and the
// user is told why, with no "Done!": first at the file layer, then through the
// windows that rewrite pages.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include "files/v_file.h"
#include "files/v_file_faults.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "tools/insert_code.h"
#include "tools/pro_options.h"

Q_DECLARE_METATYPE(vFile::WriteStep)

namespace {

const QString kReason = QStringLiteral("no space left on the disk");

// Fails the given step with kReason, and keeps the steps reached.
vFile::WriteFault failAt(vFile::WriteStep failing, QList<vFile::WriteStep>* reached) {
  return [failing, reached](vFile::WriteStep step) {
    *reached << step;
    return step == failing ? kReason : QString();
  };
}

QStringList entries(const QString& dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

template <typename T>
T* child(QWidget* w, const char* name) {
  return w->findChild<T*>(QString::fromLatin1(name));
}

}  // namespace

class WriteFaultsTest final : public QObject {
  Q_OBJECT
 private slots:
  void everyStepIsReachedInOrder();
  void fileLayer_data();
  void fileLayer();
  void windows_data();
  void windows();
};

// The seam is where the writes are: a good save passes all four steps.
void WriteFaultsTest::everyStepIsReachedInOrder() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("page.htm"));
  testfiles::write(path, "<p>old</p>");
  QList<vFile::WriteStep> reached;
  {
    const vFile::ScopedWriteFault hook([&reached](vFile::WriteStep step) {
      reached << step;
      return QString();
    });
    QVERIFY(vFile::SaveText(TextBuffer{QStringLiteral("<p>new</p>"), TextEncoding::Utf8}, path));
  }
  using S = vFile::WriteStep;
  QCOMPARE(reached, (QList<S>{S::Open, S::Write, S::Flush, S::Commit}));
  QCOMPARE(testfiles::read(path), QByteArray("<p>new</p>"));
}

void WriteFaultsTest::fileLayer_data() {
  QTest::addColumn<vFile::WriteStep>("step");
  QTest::addColumn<bool>("throughLink");
  QTest::addColumn<bool>("large");
  for (const bool link : {false, true})
    for (const bool large : {false, true}) {
      const QString what =
          QStringLiteral("%1%2").arg(large ? "20 MB page" : "page", link ? " behind a link" : "");
      using S = vFile::WriteStep;
      for (const auto& [name, step] :
           {std::pair{"open", S::Open}, std::pair{"write", S::Write}, std::pair{"flush", S::Flush},
            std::pair{"commit", S::Commit}})
        QTest::addRow("%s, fails at %s", qPrintable(what), name) << step << link << large;
    }
}

void WriteFaultsTest::fileLayer() {
  QFETCH(vFile::WriteStep, step);
  QFETCH(bool, throughLink);
  QFETCH(bool, large);

  QTemporaryDir dir;
  const QString real = dir.filePath(QStringLiteral("sales.htm"));
  const QByteArray before = large ? QByteArray(20 << 20, 'o') : QByteArray("<p>caf\xE9</p>\r\n");
  testfiles::write(real, before);
  const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
  QFile::setPermissions(real, permissions);
  const QString path = throughLink ? dir.filePath(QStringLiteral("link.htm")) : real;
  if (throughLink) QVERIFY(QFile::link(real, path));
  const QStringList listed = entries(dir.path());

  TextBuffer page;
  QVERIFY(vFile::LoadText(page, path));
  page.text.prepend(QStringLiteral("<b>new</b>"));
  QList<vFile::WriteStep> reached;
  Status saved = Status::success();
  {
    const vFile::ScopedWriteFault hook(failAt(step, &reached));
    saved = vFile::SaveText(page, path);
  }

  QVERIFY(!saved.ok());
  QCOMPARE(saved.why(), kReason);
  QCOMPARE(reached.last(), step);
  QVERIFY(testfiles::read(real) == before);
  QCOMPARE(QFile::permissions(real) & 0xF0FF, permissions);
  QCOMPARE(QFileInfo(path).isSymLink(), throughLink);
  QCOMPARE(entries(dir.path()), listed);  // no temporary file left beside it
  // With the fault gone the same save goes through.
  QVERIFY(vFile::SaveText(page, path));
  QCOMPARE(testfiles::read(real), QByteArray("<b>new</b>") + before);
}

void WriteFaultsTest::windows_data() {
  QTest::addColumn<QString>("action");
  QTest::addColumn<vFile::WriteStep>("step");
  for (const char* action : {"Insert Code", "title", "head code", "back button"}) {
    using S = vFile::WriteStep;
    for (const auto& [name, step] : {std::pair{"open", S::Open}, std::pair{"write", S::Write},
                                     std::pair{"flush", S::Flush}, std::pair{"commit", S::Commit}})
      QTest::addRow("%s, fails at %s", action, name) << QString::fromLatin1(action) << step;
  }
}

// Each window that rewrites a page, clicked as the user would (no browser:
// the windows then act at once).
void WriteFaultsTest::windows() {
  QFETCH(QString, action);
  QFETCH(vFile::WriteStep, step);

  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("sales.htm"));
  const QByteArray before = "<html><HEAD><title>Old</title></HEAD><body>[BUYBUTTON]</body></html>";
  testfiles::write(path, before);
  const QStringList listed = entries(dir.path());
  QComboBox pageList;
  pageList.setEditable(true);
  pageList.setEditText(path);

  MsgBoxRecorder rec;
  QList<vFile::WriteStep> reached;
  {
    const vFile::ScopedWriteFault hook(failAt(step, &reached));
    if (action == u"Insert Code") {
      Form3 window(&pageList, nullptr);
      window.show();
      child<QPlainTextEdit>(&window, "txtToReplace")->setPlainText(QStringLiteral("<b>buy</b>"));
      QTest::mouseClick(child<QWidget>(&window, "Command1"), Qt::LeftButton);
    } else {
      frmPRO window(&pageList, nullptr);
      window.show();
      child<QLineEdit>(&window, "Text1")->setText(QStringLiteral("New"));
      child<QPlainTextEdit>(&window, "txtRetargeting")->setPlainText(QStringLiteral("<meta>"));
      child<QLineEdit>(&window, "txtBackRedirect")->setText(QStringLiteral("https://x.test/"));
      const int index = action == u"title" ? 0 : action == u"head code" ? 1 : 2;
      QTest::mouseClick(
          child<QWidget>(&window, qPrintable(QStringLiteral("cmdUpdate_%1").arg(index))),
          Qt::LeftButton);
    }
  }

  QVERIFY2(!reached.isEmpty(), "the window did not save");
  QCOMPARE(reached.last(), step);
  QCOMPARE(rec.calls.size(), 1);
  QCOMPARE(rec.calls[0].title, QStringLiteral("File Error"));
  QCOMPARE(rec.calls[0].icon, MsgIcon::Critical);
  QVERIFY2(rec.calls[0].prompt.startsWith(QStringLiteral("Could not save sales.htm: ") + kReason),
           qPrintable(rec.calls[0].prompt));
  for (const MsgBoxCall& call : rec.calls) QVERIFY(!call.prompt.contains(QStringLiteral("Done!")));
  QCOMPARE(testfiles::read(path), before);
  QCOMPARE(entries(dir.path()), listed);
}

QV_TEST_MAIN(WriteFaultsTest)
#include "write_faults_test.moc"
