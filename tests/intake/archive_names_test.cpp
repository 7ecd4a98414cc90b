#include "intake/archive_names.h"

#include <QTest>

#include "support/core_test_main.h"

using namespace archivenames;

class ArchiveNamesTest final : public QObject {
  Q_OBJECT
 private slots:
  void entryPathsStayInsideAndSafe_data();
  void entryPathsStayInsideAndSafe();
  void namesAreDecoded_data();
  void namesAreDecoded();
  void repeatedNamesAreAllKept_data();
  void repeatedNamesAreAllKept();
  void pagesAreOrdered_data();
  void pagesAreOrdered();
  void archivesAreKnownByName_data();
  void archivesAreKnownByName();
};

void ArchiveNamesTest::entryPathsStayInsideAndSafe_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("safe");     // parts joined by "/"
  QTest::addColumn<QString>("refusal");  // a word of the reason
  QTest::newRow("plain") << "a/b.htm"
                         << "a/b.htm"
                         << "";
  QTest::newRow("backslashes") << "a\\b.htm"
                               << "a/b.htm"
                               << "";
  QTest::newRow("dot parts, doubled slashes") << "./a//b/./c.htm"
                                              << "a/b/c.htm"
                                              << "";
  QTest::newRow("climbs out") << "../x.htm"
                              << ""
                              << "climbs";
  QTest::newRow("climbs out from inside") << "a/../../x.htm"
                                          << ""
                                          << "climbs";
  QTest::newRow("climbs with backslashes") << "a\\..\\..\\x.htm"
                                           << ""
                                           << "climbs";
  QTest::newRow("absolute") << "/etc/passwd"
                            << ""
                            << "absolute";
  QTest::newRow("drive") << "C:\\Windows\\x.htm"
                         << ""
                         << "absolute";
  QTest::newRow("network share") << "\\\\server\\share\\x"
                                 << ""
                                 << "absolute";
  QTest::newRow("no name") << "./"
                           << ""
                           << "no name";
  QTest::newRow("device") << "CON"
                          << "_CON"
                          << "";
  QTest::newRow("device with extension") << "a/nul.txt"
                                         << "a/_nul.txt"
                                         << "";
  QTest::newRow("numbered device") << "com1.htm"
                                   << "_com1.htm"
                                   << "";
  QTest::newRow("longer than a device") << "console.htm"
                                        << "console.htm"
                                        << "";
  QTest::newRow("trailing dot and space") << "dir. /name. "
                                          << "dir/name"
                                          << "";
  QTest::newRow("dots only") << "a/.../b"
                             << "a/_/b"
                             << "";
  QTest::newRow("control characters") << "a\x01"
                                         "b\x7f\u0085.htm"
                                      << "a_b__.htm"
                                      << "";
  QTest::newRow("too long: shortened, extension kept")
      << QString(300, u'a') + ".htm" << QString(236, u'a') + ".htm"
      << "";
  QTest::newRow("characters Windows forbids") << "a<b>:c|d?*\".htm"
                                              << "a_b__c_d___.htm"
                                              << "";
}

void ArchiveNamesTest::entryPathsStayInsideAndSafe() {
  QFETCH(QString, name);
  QFETCH(QString, safe);
  QFETCH(QString, refusal);
  const SafePath path = safeEntryPath(name);
  QCOMPARE(path.parts.join(u'/'), safe);
  if (refusal.isEmpty())
    QVERIFY2(path.refusal.isEmpty(), qPrintable(path.refusal));
  else
    QVERIFY2(path.refusal.contains(refusal), qPrintable(path.refusal));
}

void ArchiveNamesTest::namesAreDecoded_data() {
  QTest::addColumn<QByteArray>("raw");
  QTest::addColumn<QString>("name");
  QTest::newRow("ascii") << QByteArray("index.html") << "index.html";
  QTest::newRow("utf-8") << QByteArray("caf\xc3\xa9.htm") << QStringLiteral("café.htm");
  QTest::newRow("code page 437 letters")
      << QByteArray("\x82t\x82 \x8e\x99\x81.htm") << QStringLiteral("été ÄÖü.htm");
  // Valid as a UTF-8 lead byte, but what follows is no continuation.
  QTest::newRow("code page 437 box drawing") << QByteArray("\xc9\xcd") << QStringLiteral("╔═");
  QTest::newRow("code page 437 top bytes") << QByteArray("\xe1\xff") << QStringLiteral("ß\u00a0");
}

void ArchiveNamesTest::namesAreDecoded() {
  QFETCH(QByteArray, raw);
  QFETCH(QString, name);
  QCOMPARE(decodeEntryName(raw), name);
}

void ArchiveNamesTest::repeatedNamesAreAllKept_data() {
  QTest::addColumn<QStringList>("entries");  // a trailing "/" marks a folder
  QTest::addColumn<QStringList>("given");
  QTest::newRow("names differing in case")
      << QStringList{"Page.htm", "page.htm", "PAGE.htm"}
      << QStringList{"Page.htm", "page (2).htm", "PAGE (3).htm"};
  QTest::newRow("exact repeat") << QStringList{"a.htm", "a.htm"}
                                << QStringList{"a.htm", "a (2).htm"};
  QTest::newRow("folders join the first spelling")
      << QStringList{"Images/", "Images/a.png", "images/b.png", "IMAGES/A.png"}
      << QStringList{"Images", "Images/a.png", "Images/b.png", "Images/A (2).png"};
  QTest::newRow("a file holds the folder's name")
      << QStringList{"a", "a/x", "A/y"} << QStringList{"a", "a (2)/x", "a (2)/y"};
  QTest::newRow("a folder holds the file's name")
      << QStringList{"A/x", "a"} << QStringList{"A/x", "a (2)"};
  QTest::newRow("a given name arrives later") << QStringList{"x.htm", "X.htm", "x (2).htm"}
                                              << QStringList{"x.htm", "X (2).htm", "x (2) (2).htm"};
  QTest::newRow("no extension, dot file")
      << QStringList{".htaccess", ".HTACCESS"} << QStringList{".htaccess", ".HTACCESS (2)"};
}

void ArchiveNamesTest::repeatedNamesAreAllKept() {
  QFETCH(QStringList, entries);
  QFETCH(QStringList, given);
  NameTable table;
  QStringList got;
  for (const QString& e : entries) {
    const bool folder = e.endsWith(u'/');
    got << table.place(safeEntryPath(e).parts, folder);
  }
  QCOMPARE(got, given);
}

void ArchiveNamesTest::pagesAreOrdered_data() {
  QTest::addColumn<QStringList>("files");
  QTest::addColumn<QStringList>("pages");
  QTest::newRow("sales folder's index first, then by depth")
      << QStringList{"Download Page/index.html", "Sales Page/index.html", "terms.htm",
                     "Sales Page/img/x.png", "Sales Page/more/thanks.htm"}
      << QStringList{"Sales Page/index.html", "terms.htm", "Download Page/index.html",
                     "Sales Page/more/thanks.htm"};
  QTest::newRow("index at the top") << QStringList{"b.htm", "a/c.html", "index.HTM"}
                                    << QStringList{"index.HTM", "b.htm", "a/c.html"};
  QTest::newRow("a page named sales") << QStringList{"index.htm", "pages/sales.html"}
                                      << QStringList{"pages/sales.html", "index.htm"};
  QTest::newRow("no sales page: by depth, then name")
      << QStringList{"z/y.htm", "b.HTM", "a.html"} << QStringList{"a.html", "b.HTM", "z/y.htm"};
  QTest::newRow("macOS copies left out")
      << QStringList{"__MACOSX/Sales/._index.html", "._a.htm", "index.html"}
      << QStringList{"index.html"};
}

void ArchiveNamesTest::pagesAreOrdered() {
  QFETCH(QStringList, files);
  QFETCH(QStringList, pages);
  QCOMPARE(orderPages(files), pages);
}

void ArchiveNamesTest::archivesAreKnownByName_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<bool>("archive");
  QTest::addColumn<QString>("stem");
  QTest::newRow("zip") << "/home/u/Product.zip" << true << "Product";
  QTest::newRow("rar, upper case") << "PACK.RAR" << true << "PACK";
  QTest::newRow("7z") << "a.b.7z" << true << "a.b";
  QTest::newRow("tar.gz") << "site.v2.Tar.Gz" << true << "site.v2";
  QTest::newRow("tgz") << "site.tgz" << true << "site";
  QTest::newRow("page that ends in zip") << "page.htm.zip" << true << "page.htm";
  QTest::newRow("plain gz") << "notes.gz" << false << "notes";
  QTest::newRow("a page") << "index.html" << false << "index";
}

void ArchiveNamesTest::archivesAreKnownByName() {
  QFETCH(QString, file);
  QFETCH(bool, archive);
  QFETCH(QString, stem);
  QCOMPARE(isArchiveName(file), archive);
  QCOMPARE(archiveStem(file), stem);
}

QV_CORE_TEST_MAIN(ArchiveNamesTest)
#include "archive_names_test.moc"
