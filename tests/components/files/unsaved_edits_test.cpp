// Unsaved edits kept against a crash: what a later start finds, that they
// stay the user's alone, and that nothing but our own whole parts is offered.
#include "files/unsaved_edits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "support/core_test_main.h"
#include "support/test_files.h"

namespace {

unsavededits::Base baseOf(const QString& page) {
  return {page, QByteArray("<HTML><BODY>Old\r\n</BODY></HTML>\r\n"),
          QStringLiteral("<html><head></head><body>Old\n</body></html>"), QStringLiteral("UTF-8")};
}

}  // namespace

class UnsavedEditsTest final : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup() { unsavededits::setRoot({}); }
  void keptUntilSettled();
  void ownerOnly();
  void notOffered_data();
  void notOffered();
  void withoutFolderNothingIsWritten();

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  QString root_;
};

void UnsavedEditsTest::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  root_ = dir_->filePath(QStringLiteral("data/unsaved"));
  unsavededits::setRoot(root_);
}

void UnsavedEditsTest::keptUntilSettled() {
  const QString a = dir_->filePath(QStringLiteral("a.htm"));
  const QString b = dir_->filePath(QStringLiteral("b.htm"));
  QVERIFY(unsavededits::keepBase(baseOf(a)));
  // A base alone (nothing typed yet) is nothing to offer.
  QVERIFY(unsavededits::pending().empty());
  QVERIFY(unsavededits::keepMarkup(a, QStringLiteral("<html>New 1</html>")));
  QVERIFY(unsavededits::keepMarkup(a, QStringLiteral("<html>New 2</html>")));
  QVERIFY(unsavededits::keepBase(baseOf(b)));
  QVERIFY(unsavededits::keepMarkup(b, QStringLiteral("<html>B</html>")));

  std::vector<unsavededits::Kept> kept = unsavededits::pending();
  QCOMPARE(kept.size(), std::size_t(2));
  const auto& first = kept[0].base.page == a ? kept[0] : kept[1];
  QCOMPARE(first.markupNow, QStringLiteral("<html>New 2</html>"));
  QCOMPARE(first.base.fileBytes, baseOf(a).fileBytes);
  QCOMPARE(first.base.markupBefore, baseOf(a).markupBefore);
  QCOMPARE(first.base.charset, QStringLiteral("UTF-8"));

  // A new edit of the page (after a save) starts over: the old document goes.
  QVERIFY(unsavededits::keepBase(baseOf(a)));
  QCOMPARE(unsavededits::pending().size(), std::size_t(1));
  unsavededits::drop(b);
  QVERIFY(unsavededits::pending().empty());
  QCOMPARE(QDir(root_).entryList(QDir::Files).size(), 1);  // a's new base
}

void UnsavedEditsTest::ownerOnly() {
  const QString page = dir_->filePath(QStringLiteral("private.htm"));
  QVERIFY(unsavededits::keepBase(baseOf(page)));
  QVERIFY(unsavededits::keepMarkup(page, QStringLiteral("<html>secret</html>")));
  QCOMPARE(QFileInfo(root_).permissions() & 0x0077, QFileDevice::Permissions());
  for (const QFileInfo& part : QDir(root_).entryInfoList(QDir::Files)) {
    QCOMPARE(part.permissions() & 0x0077, QFileDevice::Permissions());
    // Written whole under its name: no temporary file is left beside it.
    QVERIFY2(part.fileName().endsWith(u".base") || part.fileName().endsWith(u".edit"),
             qPrintable(part.fileName()));
  }
}

void UnsavedEditsTest::notOffered_data() {
  QTest::addColumn<QString>("spoil");
  QTest::newRow("document cut short") << "truncate";
  QTest::newRow("another file under the name") << "foreign";
  QTest::newRow("parts naming another page") << "swapped";
  QTest::newRow("document as it began") << "unchanged";
}

// Files in the folder are read as data that may be damaged or planted:
// nothing but a whole pair naming its own page is offered.
void UnsavedEditsTest::notOffered() {
  QFETCH(QString, spoil);
  const QString page = dir_->filePath(QStringLiteral("p.htm"));
  const QString other = dir_->filePath(QStringLiteral("other.htm"));
  QVERIFY(unsavededits::keepBase(baseOf(page)));
  QVERIFY(unsavededits::keepMarkup(page, QStringLiteral("<html>typed</html>")));
  const QStringList edits = QDir(root_).entryList({QStringLiteral("*.edit")});
  QCOMPARE(edits.size(), 1);
  const QString edit = QDir(root_).filePath(edits[0]);
  if (spoil == u"truncate") {
    const QByteArray bytes = testfiles::read(edit);
    testfiles::write(edit, bytes.left(bytes.size() - 3));
  } else if (spoil == u"foreign") {
    testfiles::write(edit, "<html>not ours</html>");
  } else if (spoil == u"swapped") {
    testfiles::write(edit, unsavededits::encodeMarkup(other, QStringLiteral("<html>x</html>")));
  } else {
    QVERIFY(unsavededits::keepMarkup(page, baseOf(page).markupBefore));
  }
  QVERIFY(unsavededits::pending().empty());
}

void UnsavedEditsTest::withoutFolderNothingIsWritten() {
  unsavededits::setRoot({});
  QVERIFY(unsavededits::keepBase(baseOf(dir_->filePath(QStringLiteral("p.htm")))));
  QVERIFY(!QFileInfo::exists(root_));
  QVERIFY(unsavededits::pending().empty());
}

QV_CORE_TEST_MAIN(UnsavedEditsTest)
#include "unsaved_edits_test.moc"
