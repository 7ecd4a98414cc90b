#include "tools/byte_edits.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "files/v_file.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "text/text_codec.h"
#include "tools/insert_code.h"
#include "tools/pro_options.h"
#include "tools/text_edits.h"

namespace {

QByteArray utf16(const QString& text, bool little) {
  QByteArray out(2 + 2 * text.size(), Qt::Uninitialized);
  out[0] = little ? '\xFF' : '\xFE';
  out[1] = little ? '\xFE' : '\xFF';
  if (little)
    qToLittleEndian<char16_t>(text.constData(), text.size(), out.data() + 2);
  else
    qToBigEndian<char16_t>(text.constData(), text.size(), out.data() + 2);
  return out;
}

template <typename Edit>
std::optional<QByteArray> textWay(const QByteArray& page, Edit edit) {
  TextBuffer work = textcodec::decode(page);
  std::optional<QString> edited = edit(work.text);
  if (!edited) return std::nullopt;
  work.text = std::move(*edited);
  return textcodec::encode(work);
}

const QString kTag = QStringLiteral("[BUYBUTTON]");

}  // namespace

// The code tools' edits on a page's own bytes: the bytes the text way gives,
// in every encoding a page file has; UTF-16 pages found and kept as UTF-16.
class ByteEditsTest final : public QObject {
  Q_OBJECT

 private slots:
  void sameBytesAsTheTextWay_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("code");
    const QString head = QStringLiteral("<html><head><title>Old</title></head><body>");
    const QString body = QStringLiteral("<p>Gr\u00FC\u00DFe [BUYBUTTON] \u2013 caf\u00E9</p>");
    const QString page = head + body + body + QStringLiteral("</body></html>");
    const QString code = QStringLiteral("<b>\u20AC 9 \U0001F600</b>");
    QTest::newRow("utf-8") << page.toUtf8() << kTag << code;
    QTest::newRow("utf-8 with mark") << "\xEF\xBB\xBF" + page.toUtf8() << kTag << code;
    QTest::newRow("single-byte: code as references") << page.toLatin1() << kTag << code;
    QTest::newRow("ascii declaring utf-8")
        << QByteArray("<meta charset=utf-8></HEAD>[BUYBUTTON]") << kTag << code;
    QTest::newRow("utf-16 little-endian") << utf16(page, true) << kTag << code;
    QTest::newRow("utf-16 big-endian") << utf16(page, false) << kTag << code;
    QTest::newRow("non-ascii tag in utf-8") << page.toUtf8() << QStringLiteral("\u00DFe") << code;
    QTest::newRow("non-ascii tag in a single-byte page")
        << page.toLatin1() << QStringLiteral("\u00DFe") << code;
    QTest::newRow("tag starting with a mark character is not the file's mark")
        << QByteArray("\xEF\xBB\xBFx\xEF\xBB\xBFx</head>") << QStringLiteral("\uFEFFx") << code;
    QTest::newRow("lone surrogates in the code, pairing across two tags")
        << page.toUtf8() << QStringLiteral("</p>") << QStringLiteral("\xDC00x\xD800");
    QTest::newRow("lone surrogates, single-byte page")
        << QByteArray("[T][T]\xE9</HEAD>") << QStringLiteral("[T]")
        << QStringLiteral("\xDC00x\xD800");
    QTest::newRow("dense tags, longer code")
        << QByteArray(4000, 'a') << QStringLiteral("a") << code;
    QTest::newRow("dense tags, no code")
        << QByteArray("aXaXaXa</head>") << QStringLiteral("a") << QString();
    QTest::newRow("overlapping tags, left to right")
        << QByteArray("aaaaa</head>") << QStringLiteral("aa") << QStringLiteral("b");
    QTest::newRow("code shorter than the tag") << page.toUtf8() << kTag << QStringLiteral("$");
    QTest::newRow("empty tag") << page.toUtf8() << QString() << code;
    QTest::newRow("head forms: Capitalised first")
        << QByteArray("</HEAD></Head></head></Head>") << kTag << code;
    QTest::newRow("titles cut out join a closing head tag")
        << QByteArray("<TITLE>a</tItLe></he<title>b</TITLE>ad></head>") << kTag << code;
    QTest::newRow("title without its end is kept")
        << QByteArray("<title>a</head><title>b</title></head>") << kTag << code;
    QTest::newRow("odd-length UTF-16 stays bytes")
        << QByteArray("\xFF\xFE<\0/\0h\0e\0a\0d\0>\0!", 17) << kTag << code;
    QTest::newRow("empty page") << QByteArray() << kTag << code;
  }
  void sameBytesAsTheTextWay() {
    QFETCH(QByteArray, page);
    QFETCH(QString, tag);
    QFETCH(QString, code);
    QCOMPARE(byteedits::replaceTag(page, tag, code),
             *textWay(page, [&](const QString& t) -> std::optional<QString> {
               return textedits::replaceTag(t, tag, code);
             }));
    QCOMPARE(byteedits::insertHeadCode(page, code),
             textWay(page, [&](const QString& t) { return textedits::insertHeadCode(t, code); }));
    QCOMPARE(byteedits::updatePageTitle(page, code),
             textWay(page, [&](const QString& t) { return textedits::updatePageTitle(t, code); }));
  }

  // The bytes themselves, so that a fault shared by both ways shows too.
  void writtenBytes_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("replaced");
    QTest::addColumn<QByteArray>("headed");
    const QString code = QStringLiteral("<i>\u00E9</i>");
    QTest::newRow("utf-16 LE: found, mark and byte order kept")
        << utf16(QStringLiteral("<head></head>[BUYBUTTON]"), true)
        << utf16(QStringLiteral("<head></head><i>\u00E9</i>"), true)
        << utf16(QStringLiteral("<head><i>\u00E9</i></head>[BUYBUTTON]"), true);
    QTest::newRow("utf-16 BE: found, mark and byte order kept")
        << utf16(QStringLiteral("<HEAD></HEAD>[BUYBUTTON]"), false)
        << utf16(QStringLiteral("<HEAD></HEAD><i>\u00E9</i>"), false)
        << utf16(QStringLiteral("<HEAD><i>\u00E9</i></head>[BUYBUTTON]"), false);
    QTest::newRow("utf-8 with mark")
        << QByteArray("\xEF\xBB\xBF</head>[BUYBUTTON]\r\n")
        << QByteArray("\xEF\xBB\xBF</head><i>\xC3\xA9</i>\r\n")
        << QByteArray("\xEF\xBB\xBF<i>\xC3\xA9</i></head>[BUYBUTTON]\r\n");
    QTest::newRow("single-byte page")
        << QByteArray("\xE9</Head>[BUYBUTTON]") << QByteArray("\xE9</Head><i>&#233;</i>")
        << QByteArray("\xE9<i>&#233;</i></head>[BUYBUTTON]");
  }
  void writtenBytes() {
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, replaced);
    QFETCH(QByteArray, headed);
    const QString code = QStringLiteral("<i>\u00E9</i>");
    QCOMPARE(byteedits::replaceTag(page, kTag, code), replaced);
    QCOMPARE(byteedits::insertHeadCode(page, code), std::optional<QByteArray>(headed));
  }

  // A UTF-16 page was read as single bytes: the tag was never found, yet the
  // window said "Done!".
  void windowsEditUtf16Pages() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sales.htm"));
    const QString page = QStringLiteral("<html><head><title>Old</title></head><p>[BUYBUTTON]</p>");
    testfiles::write(path, utf16(page, true));
    QComboBox pageList;
    pageList.addItem(path);
    MsgBoxRecorder answers;

    QPointer<Form3> insert = new Form3(&pageList, nullptr);
    insert->findChild<QPlainTextEdit*>(QStringLiteral("txtToReplace"))
        ->setPlainText(QStringLiteral("<a href=\"buy\">K\u00F8b</a>"));
    insert->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    delete insert;
    QString expected = page;
    expected.replace(kTag, QStringLiteral("<a href=\"buy\">K\u00F8b</a>"));
    QCOMPARE(testfiles::read(path), utf16(expected, true));

    QPointer<frmPRO> pro = new frmPRO(&pageList, nullptr);
    pro->findChild<QPlainTextEdit*>(QStringLiteral("txtRetargeting"))
        ->setPlainText(QStringLiteral("<meta name=x>"));
    pro->findChild<QPushButton*>(QStringLiteral("cmdUpdate_1"))->click();
    pro->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("Ny & bedre"));
    pro->findChild<QPushButton*>(QStringLiteral("cmdUpdate_0"))->click();
    delete pro;
    expected.replace(QStringLiteral("<title>Old</title></head>"),
                     QStringLiteral("<meta name=x><title>Ny &amp; bedre</title></head>"));
    QCOMPARE(testfiles::read(path), utf16(expected, true));
    QCOMPARE(answers.calls.size(), 2);
    for (const MsgBoxCall& call : answers.calls) QCOMPARE(call.prompt, QStringLiteral("Done!"));
  }
};

QV_TEST_MAIN(ByteEditsTest)
#include "byte_edits_test.moc"
