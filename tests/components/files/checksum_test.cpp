#include "files/checksum.h"

#include <QTemporaryDir>
#include <QTest>

#include "support/test_files.h"

// The checksums the history and the code view have stored stay the same:
// SHA-256's published answers, whichever way the bytes come in.
class ChecksumTest final : public QObject {
  Q_OBJECT

 private slots:
  void knownAnswers_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("hex");
    QTest::newRow("nothing")
        << QByteArray()
        << QByteArray("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    QTest::newRow("abc") << QByteArray("abc")
                         << QByteArray(
                                "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Longer than a piece of a device's read: the pieces are joined.
    QTest::newRow("3 MB of a")
        << QByteArray(3 << 20, 'a')
        << QByteArray("6f850bc94ae6f7de14297c01616c36d712d22864497b28a63b81d776b035e656");
  }
  void knownAnswers() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, hex);
    QCOMPARE(checksum::sha256(bytes).toHex(), hex);
    QCOMPARE(checksum::sha256Later(bytes).get(), hex);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.htm"));
    testfiles::write(path, bytes);
    QCOMPARE(checksum::sha256OfFileLater(path, filestamp::of(path)).get(), hex);
  }
};

QTEST_GUILESS_MAIN(ChecksumTest)
#include "checksum_test.moc"
