// The tools' batch of many pages: read and edited one by one, written
// together; a page changed in between is left alone, and a batch given up
// half way still writes the pages it did.
#include "tools/page_batch.h"

#include <QTemporaryDir>
#include <QTest>

#include "files/page_history.h"
#include "support/test_files.h"
#include "support/test_main.h"

class PageBatchTest final : public QObject {
  Q_OBJECT

 private slots:
  void pagesWrittenTogether();
  void batchLeftHalfWayWritesWhatItDid();
};

namespace {

// Every "old" becomes "new"; a page without one is refused.
pagebatch::PageEdit renew(const QByteArray& page) {
  pagebatch::PageEdit edit;
  edit.changes = int(page.count("old"));
  if (edit.changes == 0)
    edit.refused = QStringLiteral("nothing to renew");
  else
    edit.bytes = QByteArray(page).replace("old", "new");
  return edit;
}

}  // namespace

void PageBatchTest::pagesWrittenTogether() {
  QTemporaryDir dir;
  QStringList pages;
  for (const char* name : {"a.htm", "b.htm", "c.htm", "d.htm"}) {
    pages << dir.filePath(QString::fromLatin1(name));
    testfiles::write(pages.back(), "<p>old and old</p>");
  }
  testfiles::write(pages[3], "<p>nothing</p>");
  pagebatch::PageBatch batch(QStringLiteral("Find and Replace"));
  for (const QString& page : pages) batch.add(page, renew);
  // Another program writes b between its read and the batch's write.
  testfiles::write(pages[1], "<p>old, edited elsewhere</p>");
  const QList<pagebatch::PageOutcome> out = batch.finish();

  QCOMPARE(out.size(), 4);
  QCOMPARE(testfiles::read(pages[0]), QByteArray("<p>new and new</p>"));
  QCOMPARE(out[0].changes, 2);
  QCOMPARE(testfiles::read(pages[1]), QByteArray("<p>old, edited elsewhere</p>"));
  QCOMPARE(out[1].changes, 0);
  QCOMPARE(out[1].fault, pagebatch::PageOutcome::Fault::Refused);
  QCOMPARE(out[1].failure, QStringLiteral("it changed since it was read"));
  QCOMPARE(out[2].changes, 2);
  QCOMPARE(out[3].failure, QStringLiteral("nothing to renew"));
  QCOMPARE(history::versions(pages[0]).front().action, QStringLiteral("Find and Replace"));
  QCOMPARE(pagebatch::toolReport(out, QStringLiteral("%1 word"), QStringLiteral("%1 words")),
           QStringLiteral("4 words in 2 of 4 pages.\n\nNot done:\n"
                          "b.htm: it changed since it was read\nd.htm: nothing to renew"));
}

void PageBatchTest::batchLeftHalfWayWritesWhatItDid() {
  QTemporaryDir dir;
  const QString page = dir.filePath(QStringLiteral("a.htm"));
  testfiles::write(page, "old");
  {
    pagebatch::PageBatch batch(QStringLiteral("Find and Replace"));
    batch.add(page, renew);
  }
  QCOMPARE(testfiles::read(page), QByteArray("new"));
}

QV_TEST_MAIN(PageBatchTest)
#include "page_batch_test.moc"
