// The code view's text and back: a page shows by its own charset, and a save
// changes only the stretch the user changed, whatever the page's bytes are.
#include "text/code_text.h"

#include <QDir>
#include <QTest>

#include "support/test_files.h"

class CodeTextTest final : public QObject {
  Q_OBJECT
 private slots:
  void untouchedWritesTheFile_data();
  void untouchedWritesTheFile();
  void edits_data();
  void edits();
  void refused_data();
  void refused();
  void bigPagesGoInPieces_data();
  void bigPagesGoInPieces();
  void readFromTheFileInPieces_data();
  void readFromTheFileInPieces();
};

// Every page of our own, and of the corpus: shown and written back unchanged,
// and a word typed in its middle changes only those bytes.
void CodeTextTest::untouchedWritesTheFile_data() {
  QTest::addColumn<QString>("page");
  for (const QString& page : testfiles::pages())
    QTest::newRow(qPrintable(testfiles::pageName(page))) << page;
}

void CodeTextTest::untouchedWritesTheFile() {
  QFETCH(QString, page);
  QV_SKIP_ABSENT_CORPUS(page);
  const QByteArray file = testfiles::read(page);
  const auto shown = codetext::decode(file);
  QVERIFY(shown);
  QCOMPARE(codetext::encode(file, *shown, shown->text).file, file);

  // A word typed after the first line break: the file gains exactly that
  // word in its charset, nothing else moves.
  const qsizetype at = shown->text.indexOf('\n') + 1;
  QVERIFY(at > 0);
  QByteArray now = shown->text;
  now.insert(at, "Hello");
  const codetext::Saved saved = codetext::encode(file, *shown, now);
  QCOMPARE(saved.references, 0);
  QByteArray word = "Hello";
  if (shown->charset == codetext::Charset::Utf16Le) word = QByteArray("H\0e\0l\0l\0o\0", 10);
  QCOMPARE(saved.file.size(), file.size() + word.size());
  const qsizetype fileAt = saved.file.indexOf(word);
  QVERIFY(fileAt > 0);
  QCOMPARE(saved.file.first(fileAt), file.first(fileAt));
  QCOMPARE(saved.file.sliced(fileAt + word.size()), file.sliced(fileAt));
}

void CodeTextTest::edits_data() {
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QByteArray>("from");  // text replaced in the view (UTF-8)
  QTest::addColumn<QByteArray>("to");
  QTest::addColumn<QByteArray>("expected");
  QTest::addColumn<int>("references");

  const QByteArray cp1252 = "<META charset=windows-1252>\r\n<P>Caf\xe9 \x93new\x94</P>\r\n";
  QTest::newRow("windows-1252: an arrow becomes a reference, the rest stays")
      << cp1252 << QByteArray("new") << QByteArray("\xe2\x86\x92 new")
      << QByteArray("<META charset=windows-1252>\r\n<P>Caf\xe9 \x93&#8594; new\x94</P>\r\n") << 1;
  QTest::newRow("windows-1252: characters it holds are its bytes")
      << cp1252 << QByteArray("new") << QByteArray("\xe2\x82\xac \xc3\xa9")
      << QByteArray("<META charset=windows-1252>\r\n<P>Caf\xe9 \x93\x80 \xe9\x94</P>\r\n") << 0;
  QTest::newRow("windows-1252: a curly quote deleted takes its one byte")
      << cp1252 << QByteArray("\xe2\x80\x9cnew") << QByteArray("new")
      << QByteArray("<META charset=windows-1252>\r\n<P>Caf\xe9 new\x94</P>\r\n") << 0;
  QTest::newRow("CR CR LF kept around a new line")
      << QByteArray("<p>a</p>\r\r\n<p>b</p>\r\r\n") << QByteArray("<p>b</p>")
      << QByteArray("<p>c</p>\r\r\n<p>b</p>")
      << QByteArray("<p>a</p>\r\r\n<p>c</p>\r\r\n<p>b</p>\r\r\n") << 0;
  QTest::newRow("UTF-8: bytes that are not UTF-8 stay on an edited line")
      << QByteArray("<meta charset=utf-8><p>a\xff\xfe b</p>\n") << QByteArray(" b")
      << QByteArray(" c\xe2\x86\x92")
      << QByteArray("<meta charset=utf-8><p>a\xff\xfe c\xe2\x86\x92</p>\n") << 0;
  QTest::newRow("UTF-8 with its mark: the mark stays")
      << QByteArray("\xef\xbb\xbf<p>\xc3\xa9</p>") << QByteArray("\xc3\xa9")
      << QByteArray("\xc3\xa8") << QByteArray("\xef\xbb\xbf<p>\xc3\xa8</p>") << 0;
  QTest::newRow("UTF-16 big-endian stays so")
      << QByteArray("\xfe\xff\0<\0p\0>\0a", 10) << QByteArray("a") << QByteArray("\xe2\x86\x92")
      << QByteArray("\xfe\xff\0<\0p\0>\x21\x92", 10) << 0;
  QTest::newRow("UTF-16: a U+FEFF that begins the edit is kept")
      << QByteArray("\xfe\xff\0a\0b", 6) << QByteArray("b")
      << QByteArray(
             "\xef\xbb\xbf"
             "b")
      << QByteArray("\xfe\xff\0a\xfe\xff\0b", 8) << 0;
  QTest::newRow("a two-byte charset it names: only the edit re-encoded")
      << QByteArray("<meta charset=shift_jis><p>\x82\xa0</p>") << QByteArray("</p>")
      << QByteArray("\xe3\x81\x84\xf0\x9f\x98\x80</p>")
      << QByteArray("<meta charset=shift_jis><p>\x82\xa0\x82\xa2&#128512;</p>") << 1;
  QTest::newRow("a charset its bytes do not read in: kept byte for byte")
      << QByteArray("<meta charset=no-such-set><p>\x81\x90x</p>") << QByteArray("x")
      << QByteArray("y") << QByteArray("<meta charset=no-such-set><p>\x81\x90y</p>") << 0;
  QTest::newRow("everything deleted")
      << QByteArray("<p>\x93</p>") << QByteArray("<p>\xe2\x80\x9c</p>") << QByteArray()
      << QByteArray() << 0;
}

void CodeTextTest::edits() {
  QFETCH(QByteArray, file);
  QFETCH(QByteArray, from);
  QFETCH(QByteArray, to);
  QFETCH(QByteArray, expected);
  QFETCH(int, references);
  const auto shown = codetext::decode(file);
  QVERIFY(shown);
  QVERIFY2(shown->text.contains(from), shown->text.constData());
  QByteArray now = shown->text;
  now.replace(now.lastIndexOf(from), from.size(), to);
  const codetext::Saved saved = codetext::encode(file, *shown, now);
  QCOMPARE(saved.file, expected);
  QCOMPARE(saved.references, references);
}

void CodeTextTest::refused_data() {
  QTest::addColumn<QByteArray>("file");
  QTest::newRow("a NUL byte") << QByteArray("<p>a\0b</p>", 10);
  QTest::newRow("a NUL character in UTF-16") << QByteArray("\xff\xfe<\0\0\0", 6);
}

void CodeTextTest::refused() {
  QFETCH(QByteArray, file);
  QString why;
  QVERIFY(!codetext::decode(file, &why));
  QVERIFY(why.contains(QStringLiteral("NUL")));
}

void CodeTextTest::bigPagesGoInPieces_data() {
  QTest::addColumn<QByteArray>("file");
  // Pieces are cut every megabyte of the file: an odd-sized line puts a cut
  // inside every kind of character somewhere on a 3 MB page.
  const auto repeated = [](QByteArray head, QByteArrayView line) {
    while (head.size() < (3 << 20)) head += line;
    return head;
  };
  QTest::newRow("UTF-16 LE, surrogate pairs")
      << repeated("\xff\xfe", QByteArray("<\0p\0>\0\x3d\xd8\x00\xde\xe9\0\r\0\n\0", 14));
  QTest::newRow("UTF-16 BE, a lone surrogate")
      << repeated("\xfe\xff", QByteArray("\0a\xdc\x00\xd8\x3d\xde\x00\0\n", 10));
  QTest::newRow("windows-1252") << repeated("<meta charset=windows-1252>",
                                            "caf\xe9 \x93quoted\x94 \x80\r\n");
  QTest::newRow("UTF-8 with its mark") << repeated("\xef\xbb\xbf", "caf\xc3\xa9 \xe2\x80\x94\n");
}

// A big page goes into the view in pieces, with the text mapped to the file
// from the file itself: the same text, size and bytes as decoding it whole.
void CodeTextTest::bigPagesGoInPieces() {
  QFETCH(QByteArray, file);
  const auto whole = codetext::decode(file);
  const auto pieces = codetext::decode(file, nullptr, codetext::Text::Pieces);
  QVERIFY(whole && pieces);
  QByteArray joined;
  codetext::forEachPiece(file, *pieces, [&](QByteArrayView piece) { joined += piece; });
  QCOMPARE(joined, whole->text);
  QCOMPARE(codetext::textSize(file, *pieces), whole->text.size());
  QCOMPARE(pieces->eol, whole->eol);
  // An edit near the end, handed over as a range that starts at the top.
  QByteArray now = whole->text;
  now.insert(now.size() - 3, "\xe2\x86\x92");
  QCOMPARE(codetext::encodeChange(file, *pieces, 0, whole->text.size(), now).file,
           codetext::encode(file, *whole, now).file);
}

void CodeTextTest::readFromTheFileInPieces_data() {
  QTest::addColumn<QByteArray>("file");
  for (const QString& name : QDir(testfiles::ownPagesDir()).entryList({"*.htm", "*.html"}))
    QTest::newRow(qPrintable(name)) << testfiles::read(testfiles::ownPagesDir() + u'/' + name);
  QTest::newRow("UTF-16 LE, a pair and a lone surrogate")
      << QByteArray("\xff\xfe<\0\x3d\xd8\x00\xde\x00\xdc\r\0\n\0\x3d\xd8", 16);
  QTest::newRow("UTF-16, odd size: bytes") << QByteArray("\xff\xfe<\0p\0>", 7);
  QTest::newRow("no charset named, UTF-8 to the end")
      << QByteArray("<p>caf\xc3\xa9 \xf0\x9f\x98\x80</p>");
  QTest::newRow("no charset named, not UTF-8 near the end")
      << QByteArray("<p>caf\xc3\xa9 \xe2\x80\x94</p>\r\n<p>\xe9</p>");
  QTest::newRow("no charset named, ends inside a character")
      << QByteArray("<p>caf\xc3\xa9\xe2\x80");
  QTest::newRow("a charset named that is read whole")
      << QByteArray("<meta charset=koi8-r><p>\xf0\xd2\xc9\xd7\xc5\xd4</p>");
  QTest::newRow("a NUL byte late") << QByteArray("<p>text</p>\n<p>\0</p>", 20);
  QTest::newRow("a NUL character in UTF-16 late") << QByteArray("\xff\xfe<\0p\0\0\0>\0", 10);
}

// A page too big to hold twice is read into the view from its file piece by
// piece: wherever the pieces are cut, the view gets what decoding it whole
// gives, or the same refusal.
void CodeTextTest::readFromTheFileInPieces() {
  QFETCH(QByteArray, file);
  using Piece = codetext::PieceDecoder::Piece;
  const auto whole = codetext::decode(file);
  for (const qsizetype size : {1, 3, 4096}) {
    std::optional<codetext::PieceDecoder> decoder;
    QByteArray joined;
    Piece outcome = Piece::Text;
    bool readAsUtf8 = true;
    for (const bool asUtf8 : {true, false}) {
      readAsUtf8 = asUtf8;
      decoder = codetext::PieceDecoder::forHead(file, file.size(), asUtf8);
      if (!decoder) break;
      joined.clear();
      QByteArray text;
      outcome = Piece::Text;
      for (qsizetype at = 0; at < file.size() && outcome == Piece::Text; at += size) {
        outcome =
            decoder->take(QByteArrayView(file).sliced(at, std::min(size, file.size() - at)), text);
        joined += text;
      }
      if (outcome == Piece::Text) outcome = decoder->finish(text);
      joined += text;
      if (outcome != Piece::NotUtf8) break;
    }
    if (!whole) {
      QVERIFY(decoder);
      QCOMPARE(outcome, Piece::NotText);
    } else if (whole->charset == codetext::Charset::Other) {
      QVERIFY(!decoder);
    } else {
      QVERIFY(decoder);
      QCOMPARE(outcome, Piece::Text);
      QCOMPARE(joined, whole->text);
      QCOMPARE(decoder->shown().charset, whole->charset);
      QCOMPARE(decoder->shown().start, whole->start);
      QCOMPARE(decoder->shown().eol, whole->eol);
      // Measured without the text, the same size.
      auto measuring = codetext::PieceDecoder::forHead(file, file.size(), readAsUtf8);
      qsizetype measured = 0;
      for (qsizetype at = 0; at < file.size(); at += size)
        QCOMPARE(measuring->measure(
                     QByteArrayView(file).sliced(at, std::min(size, file.size() - at)), measured),
                 Piece::Text);
      QByteArray rest;
      QCOMPARE(measuring->finish(rest), Piece::Text);
      QCOMPARE(measured + rest.size(), whole->text.size());
    }
  }
}

QTEST_GUILESS_MAIN(CodeTextTest)
#include "code_text_test.moc"
