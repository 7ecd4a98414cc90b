#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include "files/file_stamp.h"
#include "files/v_file.h"
#include "files/v_file_faults.h"
#include "support/core_test_main.h"
#include "support/test_files.h"
#include "text/text_codec.h"

// Reading and writing page files: every byte that is not changed stays as it
// was, and a failure leaves the file alone.
class TextFilesTest final : public QObject {
  Q_OBJECT

 private slots:
  void roundTripKeepsEveryByte_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::newRow("utf-8 without BOM")
        << QByteArray("<p>caf\xC3\xA9 \xE2\x80\x94</p>\n") << int(TextEncoding::Utf8);
    QTest::newRow("utf-8 with BOM")
        << QByteArray("\xEF\xBB\xBF<p>x</p>\r\n") << int(TextEncoding::Utf8Bom);
    QTest::newRow("windows-1252 bytes")
        << QByteArray("<p>\x93quoted\x94 \x97 \x85 \xAE</p>") << int(TextEncoding::Bytes);
    QTest::newRow("latin-1 bytes")
        << QByteArray("<P>Pr\xF8v p\xE5</P>") << int(TextEncoding::Bytes);
    QTest::newRow("CRLF, lone CR and NUL")
        << QByteArray("a\r\nb\rc\n\0d", 10) << int(TextEncoding::Bytes);
    QTest::newRow("two BOMs: the second is text and stays")
        << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF<p>x</p>") << int(TextEncoding::Utf8Bom);
    QTest::newRow("BOM before invalid utf-8")
        << QByteArray("\xEF\xBB\xBF\xFF\xFE") << int(TextEncoding::Bytes);
    QTest::newRow("ascii declaring utf-8")
        << QByteArray("<meta charset=\"UTF-8\"><p>x</p>") << int(TextEncoding::Utf8);
    QTest::newRow("ascii declaring latin-1")
        << QByteArray("<meta charset=iso-8859-1><p>x</p>") << int(TextEncoding::Bytes);
    QTest::newRow("ascii declaring nothing") << QByteArray("<p>x</p>") << int(TextEncoding::Bytes);
    QTest::newRow("empty file") << QByteArray() << int(TextEncoding::Bytes);
    QTest::newRow("utf-16 LE with mark, a lone surrogate kept")
        << QByteArray("\xFF\xFE<\0p\0>\0\x00\xD8\xE9\0", 10) << int(TextEncoding::Utf16LeBom);
    QTest::newRow("utf-16 BE with mark")
        << QByteArray("\xFE\xFF\0<\0p\0>", 8) << int(TextEncoding::Utf16BeBom);
    QTest::newRow("utf-16 mark, odd length")
        << QByteArray("\xFF\xFE<\0p", 5) << int(TextEncoding::Bytes);
    QTest::newRow("utf-32 LE mark")
        << QByteArray("\xFF\xFE\0\0<\0\0\0", 8) << int(TextEncoding::Bytes);
  }
  void roundTripKeepsEveryByte() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QTemporaryDir dir;
    const QString path = dir.filePath("page.htm");
    testfiles::write(path, bytes);
    TextBuffer buffer;
    QVERIFY(vFile::LoadText(buffer, path).ok());
    QCOMPARE(int(buffer.encoding), encoding);
    QVERIFY(vFile::SaveText(buffer, path).ok());
    QCOMPARE(testfiles::read(path), bytes);
  }

  // A UTF-8 page decodes to what Qt's own decoder makes of it: ASCII runs of
  // every length around the eight bytes read at once, characters of one to
  // four bytes, a second mark, noncharacters, and a mark read as one; each
  // page decoded into the text the page before left, as a search does.
  void utf8DecodesAsQtDoes() {
    const QList<char32_t> characters = {'a',    '<',    '\n',    0xE9,    0x7FF,
                                        0x800,  0x2014, 0xFEFF,  0xFFFD,  0xFFFE,
                                        0xFFFF, 0xE000, 0x10000, 0x1F600, 0x10FFFF};
    QRandomGenerator random(35);
    TextBuffer reused;
    for (int round = 0; round < 2000; ++round) {
      QString text;
      for (int piece = random.bounded(1, 12); piece > 0; --piece) {
        text += QString(random.bounded(0, 20), QLatin1Char('x'));
        const char32_t c = characters[random.bounded(int(characters.size()))];
        text += QString::fromUcs4(&c, 1);
      }
      const QByteArray bytes = (random.bounded(2) ? "\xEF\xBB\xBF" : "") + text.toUtf8();
      textcodec::decodeInto(bytes, reused);
      const TextBuffer& decoded = reused;
      if (decoded.encoding == TextEncoding::Bytes) continue;  // ASCII declaring nothing
      const bool bom = decoded.encoding == TextEncoding::Utf8Bom;
      QStringDecoder qt(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
      const QString expected = qt.decode(QByteArrayView(bytes).sliced(bom ? 3 : 0));
      QVERIFY(!qt.hasError());
      QCOMPARE(decoded.text, expected);
      QCOMPARE(textcodec::encode(decoded), bytes);
    }
  }

  void everyPageRoundTrips_data() {
    QTest::addColumn<QString>("page");
    for (const QString& page : testfiles::pages())
      QTest::newRow(qPrintable(testfiles::pageName(page))) << page;
  }
  void everyPageRoundTrips() {
    QFETCH(QString, page);
    QV_SKIP_ABSENT_CORPUS(page);
    TextBuffer buffer;
    QVERIFY(vFile::LoadText(buffer, page).ok());
    QCOMPARE(textcodec::encode(buffer), testfiles::read(page));
  }

  void addedTextIsWrittenInTheFilesOwnEncoding_data() {
    QTest::addColumn<QByteArray>("original");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("utf-8 page gets utf-8")
        << QByteArray("\xC3\xA9[T]")
        << QByteArray("\xC3\xA9\xE2\x82\xAC \xF0\x9F\x98\x80 \xC3\xA9");
    QTest::newRow("BOM page keeps BOM")
        << QByteArray("\xEF\xBB\xBF[T]")
        << QByteArray("\xEF\xBB\xBF\xE2\x82\xAC \xF0\x9F\x98\x80 \xC3\xA9");
    QTest::newRow("single-byte page gets references")
        << QByteArray("\xE9[T]") << QByteArray("\xE9&#8364; &#128512; &#233;");
    QTest::newRow("utf-16 page gets utf-16 in its byte order")
        << QByteArray("\xFE\xFF\0[\0T\0]", 8)
        << QByteArray("\xFE\xFF\x20\xAC\0 \xD8\x3D\xDE\x00\0 \0\xE9", 14);
  }
  void addedTextIsWrittenInTheFilesOwnEncoding() {
    QFETCH(QByteArray, original);
    QFETCH(QByteArray, expected);
    TextBuffer buffer = textcodec::decode(original);
    buffer.text.replace(QStringLiteral("[T]"), QStringLiteral("\u20AC \U0001F600 \u00E9"));
    QCOMPARE(textcodec::encode(buffer), expected);
  }

  void failuresLeaveTheFileAsItWas() {
    QTemporaryDir dir;
    const QByteArray before("<p>old</p>");
    TextBuffer fresh{QStringLiteral("<p>new</p>"), TextEncoding::Utf8};

    const QString readOnly = dir.filePath("ro.htm");
    testfiles::write(readOnly, before);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup);
    const Status roStatus = vFile::SaveText(fresh, readOnly);
    QVERIFY(!roStatus.ok());
    QVERIFY(roStatus.why().contains("read-only"));
    QCOMPARE(testfiles::read(readOnly), before);

    QDir(dir.path()).mkdir("folder.htm");
    QVERIFY(!vFile::SaveText(fresh, dir.filePath("folder.htm")).ok());
    QVERIFY(QFileInfo(dir.filePath("folder.htm")).isDir());
    QVERIFY(!vFile::SaveText(fresh, dir.filePath("gone/page.htm")).ok());
    QVERIFY(!QFileInfo::exists(dir.filePath("gone")));
    QVERIFY(!vFile::SaveText(fresh, QString()).ok());

    TextBuffer kept{QStringLiteral("kept"), TextEncoding::Utf8Bom};
    QVERIFY(!vFile::LoadText(kept, dir.filePath("missing.htm")).ok());
    QVERIFY(!vFile::LoadText(kept, dir.filePath("folder.htm")).ok());
    QCOMPARE(kept.text, QStringLiteral("kept"));
    QCOMPARE(kept.encoding, TextEncoding::Utf8Bom);
    // Nothing but the files the test made: no temporary files left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 2);
  }

  void savingKeepsPermissionsAndLinks() {
    QTemporaryDir dir;
    const QString target = dir.filePath("real.htm");
    testfiles::write(target, "<p>old</p>");
    const auto perms = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ExeOwner;
    QFile::setPermissions(target, perms);
    const QString link = dir.filePath("link.htm");
    QVERIFY(QFile::link(target, link));

    TextBuffer fresh{QStringLiteral("<p>new</p>"), TextEncoding::Utf8};
    QVERIFY(vFile::SaveText(fresh, link).ok());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(testfiles::read(target), QByteArray("<p>new</p>"));
    QCOMPARE(QFile::permissions(target) & 0xF0FF, perms & 0xF0FF);
  }

  // A big page's save writes one stretch and copies the rest from the file,
  // a megabyte at a time: every byte around the stretch lands where it was.
  void splicedWriteCopiesTheRest_data() {
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<QByteArray>("bytes");
    const qint64 mb = 1 << 20, size = 5 * mb / 2;
    QTest::newRow("at the start") << qint64(0) << qint64(3) << QByteArray("ABC");
    QTest::newRow("across a megabyte") << mb - 2 << mb + 5 << QByteArray("xyz");
    QTest::newRow("the end removed") << size - 10 << size << QByteArray();
    QTest::newRow("grown in the middle") << 3 * mb / 2 << 3 * mb / 2 << QByteArray(100000, 'q');
  }

  void splicedWriteCopiesTheRest() {
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath("big.htm");
    QByteArray old(5 << 19, Qt::Uninitialized);
    for (qsizetype i = 0; i < old.size(); ++i) old[i] = char('a' + (i * 7 + i / 251) % 26);
    testfiles::write(path, old);
    QVERIFY(vFile::SaveSpliced({from, to, bytes}, path, filestamp::of(path)));
    QCOMPARE(testfiles::read(path), old.first(from) + bytes + old.sliced(to));
  }

  // Only into the file the positions were found in; a failure at any step
  // leaves the file as it was and nothing beside it.
  void splicedWriteOnlyIntoTheFileShown_data() {
    QTest::addColumn<QByteArray>("rewritten");
    QTest::addColumn<int>("failingStep");
    QTest::addColumn<QString>("why");
    QTest::newRow("rewritten since") << QByteArray("another program's page") << -1
                                     << QStringLiteral("changed by another program");
    QTest::newRow("same size, rewritten since")
        << QByteArray("<P>OLD</P>") << -1 << QStringLiteral("changed by another program");
    QTest::newRow("the rename fails") << QByteArray() << int(vFile::WriteStep::Commit)
                                      << QStringLiteral("the device was removed");
    QTest::newRow("the disk fills")
        << QByteArray() << int(vFile::WriteStep::Write) << QStringLiteral("the device was removed");
  }

  void splicedWriteOnlyIntoTheFileShown() {
    QFETCH(QByteArray, rewritten);
    QFETCH(int, failingStep);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const QString path = dir.filePath("page.htm");
    testfiles::write(path, "<p>old</p>");
    const FileStamp shown = filestamp::of(path);
    if (!rewritten.isEmpty()) {
      QTest::qWait(30);  // past the file system's clock tick
      QFile file(path);
      QVERIFY(file.open(QIODevice::ReadWrite));
      QCOMPARE(file.write(rewritten), rewritten.size());
    }
    const QByteArray before = testfiles::read(path);
    const vFile::ScopedWriteFault fault([failingStep](vFile::WriteStep step) {
      return int(step) == failingStep ? QStringLiteral("the device was removed") : QString();
    });
    const Status saved = vFile::SaveSpliced({3, 6, "new"}, path, shown);
    QVERIFY(!saved);
    QVERIFY2(saved.why().contains(why), qPrintable(saved.why()));
    QCOMPARE(testfiles::read(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"page.htm"});
  }
};

QV_CORE_TEST_MAIN(TextFilesTest)
#include "text_files_test.moc"
