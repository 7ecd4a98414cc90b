// My Code's file: kept whole and private, a damaged one set aside, and the
// lists of earlier codes and of imported snippets.
#include "tools/snippet_store.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "support/core_test_main.h"
#include "support/test_files.h"

namespace {

// The owner's, the group's and everyone's bits (not those Qt adds for the
// user running the test).
QFile::Permissions bits(const QString& path) {
  return QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
}

}  // namespace

class SnippetStoreTest final : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void keptWholeAndPrivate();
  void aDamagedFileIsSetAside_data();
  void aDamagedFileIsSetAside();
  void earlierCodes_data();
  void earlierCodes();
  void importedSnippetsJoinTheList();

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  QString file_;
};

void SnippetStoreTest::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  QVERIFY(dir_->isValid());
  file_ = dir_->filePath(QStringLiteral("data/Quorvane/snippets.json"));
}

void SnippetStoreTest::keptWholeAndPrivate() {
  const QList<Snippet> list{
      {QStringLiteral("Buy Button"),
       QStringLiteral("<form action=\"https://pay.example/\">\r\n  <b>€10\u00A0now</b>\0x</form>"),
       {QStringLiteral("<b>€9</b>")}},
      {QStringLiteral("Tracking \"pixel\""), QStringLiteral("<script>a<b</script>"), {}}};
  QVERIFY(snippetstore::save(list, file_));
  QCOMPARE(bits(file_), QFile::ReadOwner | QFile::WriteOwner);
  QCOMPARE(bits(QFileInfo(file_).absolutePath()),
           QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

  const snippetstore::Loaded loaded = snippetstore::load(file_);
  QVERIFY(loaded.why.isEmpty());
  QCOMPARE(loaded.snippets.size(), 2);
  QCOMPARE(loaded.snippets[0].code, list[0].code);
  QCOMPARE(loaded.snippets[0].earlier, list[0].earlier);
  QCOMPARE(loaded.snippets[1].name, list[1].name);

  // A file made readable by others is the user's alone again after a save.
  QFile::setPermissions(file_, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
  QVERIFY(snippetstore::save(list.first(1), file_));
  QCOMPARE(bits(file_), QFile::ReadOwner | QFile::WriteOwner);
  QCOMPARE(snippetstore::load(file_).snippets.size(), 1);
  QCOMPARE(snippetstore::load(dir_->filePath(QStringLiteral("none.json"))).snippets.size(), 0);
}

void SnippetStoreTest::aDamagedFileIsSetAside_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::newRow("cut short") << QByteArray("{\"format\":1,\"snippets\":[{\"name\":\"B");
  QTest::newRow("not a list") << QByteArray("{\"format\":1,\"snippets\":{}}");
  QTest::newRow("a snippet without code")
      << QByteArray("{\"format\":1,\"snippets\":[{\"name\":\"B\",\"code\":7}]}");
  QTest::newRow("a newer format") << QByteArray("{\"format\":9,\"snippets\":[]}");
  QTest::newRow("empty") << QByteArray();
}

void SnippetStoreTest::aDamagedFileIsSetAside() {
  QFETCH(QByteArray, bytes);
  QDir().mkpath(QFileInfo(file_).absolutePath());
  testfiles::write(file_, bytes);
  const snippetstore::Loaded loaded = snippetstore::load(file_);
  QVERIFY(loaded.snippets.isEmpty());
  QVERIFY(!loaded.why.isEmpty());
  QVERIFY(!loaded.blocked);
  QVERIFY(!QFileInfo::exists(file_));
  QVERIFY(loaded.setAside.startsWith(file_ + QStringLiteral(".damaged-")));
  QCOMPARE(testfiles::read(loaded.setAside), bytes);
  // A second damaged file does not take the first one's place.
  testfiles::write(file_, bytes);
  const snippetstore::Loaded again = snippetstore::load(file_);
  QVERIFY(again.setAside != loaded.setAside);
  QCOMPARE(testfiles::read(loaded.setAside), bytes);
}

void SnippetStoreTest::earlierCodes_data() {
  QTest::addColumn<QStringList>("codes");  // saved in turn
  QTest::addColumn<QStringList>("earlier");
  QTest::newRow("newest first") << QStringList{"a", "b", "c"} << QStringList{"b", "a"};
  QTest::newRow("the same code again changes nothing")
      << QStringList{"a", "b", "b"} << QStringList{"a"};
  QTest::newRow("going back to an earlier code") << QStringList{"a", "b", "a"} << QStringList{"b"};
  QTest::newRow("a blank code is not kept") << QStringList{" \n", "b"} << QStringList{};
  QStringList many;
  for (int i = 0; i < 15; ++i) many.append(QString::number(i));
  QTest::newRow("only the last ten")
      << many << QStringList{"13", "12", "11", "10", "9", "8", "7", "6", "5", "4"};
}

void SnippetStoreTest::earlierCodes() {
  QFETCH(QStringList, codes);
  QFETCH(QStringList, earlier);
  Snippet s{QStringLiteral("x"), codes.first(), {}};
  for (const QString& code : codes.mid(1)) s = snippetstore::withCode(s, code);
  QCOMPARE(s.code, codes.last());
  QCOMPARE(s.earlier, earlier);
}

void SnippetStoreTest::importedSnippetsJoinTheList() {
  QList<Snippet> list{{QStringLiteral("Buy"), QStringLiteral("<b>1</b>"), {}},
                      {QStringLiteral("Buy (2)"), QStringLiteral("<b>2</b>"), {}}};
  const QList<Snippet> imported{{QStringLiteral("Buy"), QStringLiteral("<b>1</b>"), {}},
                                {QStringLiteral("Buy"), QStringLiteral("<b>3</b>"), {"<p>"}},
                                {QStringLiteral("Footer"), QStringLiteral("<p>f</p>"), {}}};
  const std::optional<QList<Snippet>> read =
      snippetstore::fromBytes(snippetstore::toBytes(imported));
  QVERIFY(read);
  QCOMPARE(snippetstore::merge(list, *read),
           (QStringList{QStringLiteral("Buy (3)"), QStringLiteral("Footer")}));
  QCOMPARE(list.size(), 4);
  QCOMPARE(list[2].code, QStringLiteral("<b>3</b>"));
  // A file from elsewhere does not say what counts as old code in these pages.
  QVERIFY(list[2].earlier.isEmpty());
}

QV_CORE_TEST_MAIN(SnippetStoreTest)
#include "snippet_store_test.moc"
