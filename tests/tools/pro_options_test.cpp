// The Pro options window as the user drives it: panels, head code, title and
// back-button redirect on page files, and what a failed read or write does.
#include "tools/pro_options.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "editor/web_browser.h"
#include "engine/page_scheme.h"
#include "files/paths.h"
#include "files/v_file.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "text/text_codec.h"
#include "widgets/link_label.h"
#include "widgets/v_frame.h"

class ProOptionsTest final : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();

  void opensAsLaidOut();
  void headerClick_data();
  void headerClick();
  void reopeningStartsAfresh();
  void headCode_data();
  void headCode();
  void hundredInsertions();
  void pageTitleTwice();
  void backButton_data();
  void backButton();
  void backButtonTwiceWithTwoUrls();
  void fileFailure_data();
  void fileFailure();
  void everyPageKeepsEveryOtherByte_data();
  void everyPageKeepsEveryOtherByte();
  void hundredMegabytePage();

 private:
  frmPRO* open();
  void setTemplate(bool present, const QByteArray& bytes = {});
  QString writePage(const QString& name, const QByteArray& bytes);
  void showOtherPage();

  WebBrowser* browser_ = nullptr;
  QComboBox pageList_;
  std::unique_ptr<QTemporaryDir> dir_;
  QString other_;  // a page the browser shows before each action
};

namespace {

QByteArray shipped() { return testfiles::read(QStringLiteral(QV_SHIPPED_BCFG)); }

template <typename T>
T* child(QWidget* w, const char* name) {
  return w->findChild<T*>(QString::fromLatin1(name));
}

void click(QWidget* w, const char* name) {
  QTest::mouseClick(child<QWidget>(w, name), Qt::LeftButton);
}

vFrame* panel(QWidget* w, int i) {
  return w->findChild<vFrame*>(QStringLiteral("vMenu_%1").arg(i));
}

QByteArray filled(QByteArray templ, const QByteArray& url) {
  return templ.replace("[LOCATION]", url);
}

}  // namespace

void ProOptionsTest::initTestCase() {
  browser_ = new WebBrowser;
  browser_->setSilent(true);
  browser_->resize(300, 200);
  browser_->show();
  pageList_.setEditable(true);
}

void ProOptionsTest::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  QVERIFY(dir_->isValid());
  other_ = writePage(QStringLiteral("other.html"), "<html><head></head><body>other</body></html>");
  setTemplate(true, shipped());
}

void ProOptionsTest::cleanup() {
  setMsgBoxHandler({});
  // The window reads the template beside this program: leave the shipped one.
  setTemplate(true, shipped());
}

frmPRO* ProOptionsTest::open() {
  auto* w = new frmPRO(&pageList_, browser_);
  w->show();
  return w;
}

void ProOptionsTest::setTemplate(bool present, const QByteArray& bytes) {
  const QString path = paths::besideExecutable(QStringLiteral("b.cfg"));
  QFile::remove(path);
  if (present) testfiles::write(path, bytes);
}

QString ProOptionsTest::writePage(const QString& name, const QByteArray& bytes) {
  const QString path = dir_->filePath(name);
  testfiles::write(path, bytes);
  return path;
}

void ProOptionsTest::showOtherPage() {
  QSignalSpy done(browser_, &WebBrowser::DownloadComplete);
  browser_->Navigate2(other_);
  QVERIFY(done.wait(20000));
  QCOMPARE(browser_->LocationPath(), other_);
}

void ProOptionsTest::opensAsLaidOut() {
  QPointer<frmPRO> w = open();
  QCOMPARE(w->objectName(), QStringLiteral("frmPRO"));
  QCOMPARE(w->windowTitle(), QStringLiteral("Pro Version"));
  const double dpi = w->logicalDpiX();
  QCOMPARE(w->size(), QSize(qRound(12435 * dpi / 1440), qRound(7350 * dpi / 1440)));
  QCOMPARE(w->minimumSize(), w->maximumSize());
  const QPoint offCentre = w->geometry().center() - w->screen()->availableGeometry().center();
  QVERIFY(qAbs(offCentre.x()) <= 2 && qAbs(offCentre.y()) <= 2);

  const QStringList headers{QStringLiteral("Page Title"),
                            QStringLiteral("Insert Code Between <HEAD></HEAD Tags>"),
                            QStringLiteral("\"Back Button\" Control")};
  const QStringList actions{QStringLiteral("Update Page"), QStringLiteral("Insert Code"),
                            QStringLiteral("Insert Code")};
  const QList<int> tops{45, 5725, 650};
  for (int i = 0; i < 3; ++i) {
    auto* header = w->findChild<LinkLabel*>(QStringLiteral("lblMenu_%1").arg(i));
    QCOMPARE(header->text(), headers[i]);
    QCOMPARE(header->textFormat(), Qt::PlainText);
    QVERIFY(header->isVisible());
    QCOMPARE(w->findChild<QPushButton*>(QStringLiteral("cmdUpdate_%1").arg(i))->text(), actions[i]);
    QCOMPARE(panel(w, i)->expanded(), i == 2);
    QCOMPARE(panel(w, i)->Top(), tops[i]);
  }
  QCOMPARE(child<QLineEdit>(w, "Text1")->text(),
           QStringLiteral("How to Create a Membership Website"));
  QCOMPARE(child<QLineEdit>(w, "txtBackRedirect")->text(), QStringLiteral("http://"));
  QVERIFY(child<QPlainTextEdit>(w, "txtRetargeting")->toPlainText().isEmpty());
  QCOMPARE(child<QPushButton>(w, "Command2")->text(), QStringLiteral("Close"));
  QVERIFY(!child<QLabel>(w, "lblNotAvailable")->isVisible());

  click(w, "Command2");
  QTRY_VERIFY(w.isNull());
}

void ProOptionsTest::headerClick_data() {
  QTest::addColumn<int>("index");
  QTest::addColumn<QList<int>>("tops");
  QTest::newRow("page title") << 0 << QList<int>{45, 3565, 2960};
  QTest::newRow("head code") << 1 << QList<int>{45, 1255, 650};
  QTest::newRow("back button") << 2 << QList<int>{45, 5725, 650};
}

void ProOptionsTest::headerClick() {
  QFETCH(int, index);
  QFETCH(QList<int>, tops);

  QPointer<frmPRO> w = open();
  const std::array<QWidget*, 3> bodies{child<QWidget>(w, "Text1"),
                                       child<QWidget>(w, "txtRetargeting"),
                                       child<QWidget>(w, "txtBackRedirect")};
  constexpr std::array<int, 3> kOpenHeights{2715, 4065, 4875};
  // A click on the open panel's header changes nothing.
  for (int round = 0; round < 2; ++round) {
    QTest::mouseClick(w->findChild<LinkLabel*>(QStringLiteral("lblMenu_%1").arg(index)),
                      Qt::LeftButton);
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(panel(w, i)->expanded(), i == index);
      QCOMPARE(panel(w, i)->Top(), tops[i]);
      QCOMPARE(panel(w, i)->Height(), i != index ? 405 : kOpenHeights[i]);
      // A closed panel's controls are neither seen nor reached with Tab.
      QCOMPARE(bodies[i]->isVisible(), i == index);
    }
  }
  w->close();
}

void ProOptionsTest::reopeningStartsAfresh() {
  QPointer<frmPRO> w = open();
  child<QLineEdit>(w, "Text1")->setText(QStringLiteral("changed"));
  child<QLineEdit>(w, "txtBackRedirect")->setText(QStringLiteral("http://changed"));
  child<QPlainTextEdit>(w, "txtRetargeting")->setPlainText(QStringLiteral("changed"));
  click(w, "lblMenu_0");
  // The pasted code was never put into a page: Esc asks, and Yes closes.
  MsgBoxRecorder asked(MsgAnswer::Yes);
  QTest::keyClick(w, Qt::Key_Escape);
  QCOMPARE(asked.calls.size(), 1);
  QTRY_VERIFY(w.isNull());

  w = open();
  QCOMPARE(child<QLineEdit>(w, "Text1")->text(),
           QStringLiteral("How to Create a Membership Website"));
  QCOMPARE(child<QLineEdit>(w, "txtBackRedirect")->text(), QStringLiteral("http://"));
  QVERIFY(child<QPlainTextEdit>(w, "txtRetargeting")->toPlainText().isEmpty());
  QVERIFY(panel(w, 2)->expanded());
  w->close();
}

void ProOptionsTest::headCode_data() {
  QTest::addColumn<QByteArray>("page");
  QTest::addColumn<QString>("code");
  QTest::addColumn<QByteArray>("expected");  // empty: the file stays as it was

  QTest::newRow("code before the closing head tag")
      << QByteArray("<html>\r\n<head>\r\n</HEAD>\r\n<body></body></html>")
      << QStringLiteral("<script>\nfbq('init');\n</script>\n")
      << QByteArray(
             "<html>\r\n<head>\r\n<script>\nfbq('init');\n</script>\n</head>\r\n<body></body></"
             "html>");
  QTest::newRow("empty code: tag rewritten, saved")
      << QByteArray("<HEAD></HEAD>") << QString() << QByteArray("<HEAD></head>");
  QTest::newRow("no closing head tag")
      << QByteArray("<html><head><body></body></html>") << QStringLiteral("X") << QByteArray();
  QTest::newRow("closing head tag split over two lines")
      << QByteArray("<head></head\r\n>") << QStringLiteral("X") << QByteArray();
}

void ProOptionsTest::headCode() {
  QFETCH(QByteArray, page);
  QFETCH(QString, code);
  QFETCH(QByteArray, expected);

  const QString path = writePage(QStringLiteral("sales.htm"), page);
  pageList_.setEditText(path);
  showOtherPage();
  // Where the browser is going when each message shows: the page is shown
  // again before "Done!".
  QList<MsgBoxCall> calls;
  QStringList shownAtMessage;
  setMsgBoxHandler([&](const MsgBoxCall& c) {
    calls << c;
    shownAtMessage << pagescheme::pathOf(browser_->view()->page()->requestedUrl());
    return MsgAnswer::Ok;
  });

  QPointer<frmPRO> w = open();
  click(w, "lblMenu_1");
  child<QPlainTextEdit>(w, "txtRetargeting")->setPlainText(code);
  click(w, "cmdUpdate_1");

  QCOMPARE(calls.size(), 1);
  QCOMPARE(calls[0].icon, MsgIcon::Information);
  QCOMPARE(calls[0].buttons, MsgButtons::OkOnly);
  if (expected.isEmpty()) {
    QCOMPARE(calls[0].prompt,
             QStringLiteral("Broken HTML file (<HEAD> tag is missing. Can't complete this action"));
    QCOMPARE(calls[0].title, QStringLiteral("Broken HTML File"));
    QCOMPARE(testfiles::read(path), page);
    QCOMPARE(shownAtMessage[0], other_);
  } else {
    QCOMPARE(calls[0].prompt, QStringLiteral("Done!"));
    QCOMPARE(calls[0].title, QStringLiteral("Done"));
    QCOMPARE(testfiles::read(path), expected);
    QCOMPARE(shownAtMessage[0], path);
  }
  w->close();
}

void ProOptionsTest::hundredInsertions() {
  const QString path = writePage(QStringLiteral("sales.htm"), "<head></head><body></body>");
  pageList_.setEditText(path);
  MsgBoxRecorder rec;
  QPointer<frmPRO> w = open();
  child<QPlainTextEdit>(w, "txtRetargeting")->setPlainText(QStringLiteral("<meta name=x>\n"));
  for (int i = 0; i < 100; ++i) click(w, "cmdUpdate_1");
  QCOMPARE(rec.calls.size(), 100);
  QCOMPARE(rec.calls.last().prompt, QStringLiteral("Done!"));
  QCOMPARE(testfiles::read(path),
           "<head>" + QByteArray("<meta name=x>\n").repeated(100) + "</head><body></body>");
  w->close();
}

void ProOptionsTest::pageTitleTwice() {
  const QByteArray page = "<html><HEAD><TITLE>Old</TITLE>\r\n</HEAD><body>x</body></html>";
  const QString path = writePage(QStringLiteral("sales.htm"), page);
  const QString noHead = writePage(QStringLiteral("nohead.htm"), "<head><title>a</title></Head>");
  showOtherPage();
  MsgBoxRecorder rec;
  QPointer<frmPRO> w = open();
  click(w, "lblMenu_0");
  child<QLineEdit>(w, "Text1")->setText(QStringLiteral("Tips & <Tricks>"));

  pageList_.setEditText(path);
  click(w, "cmdUpdate_0");
  click(w, "cmdUpdate_0");
  QCOMPARE(testfiles::read(path),
           "<html><HEAD>\r\n<title>Tips &amp; &lt;Tricks&gt;</title></head><body>x</body></html>");

  // Only "</Head>": nothing happens, silently.
  pageList_.setEditText(noHead);
  click(w, "cmdUpdate_0");
  QCOMPARE(testfiles::read(noHead), QByteArray("<head><title>a</title></Head>"));

  QVERIFY(rec.calls.isEmpty());
  QCOMPARE(pagescheme::pathOf(browser_->view()->url()), other_);  // not shown again
  w->close();
}

void ProOptionsTest::backButton_data() {
  QTest::addColumn<bool>("present");
  QTest::addColumn<QByteArray>("templ");
  QTest::addColumn<QByteArray>("page");
  QTest::addColumn<QString>("url");
  QTest::addColumn<QByteArray>("expected");  // empty: the file stays as it was

  const QByteArray url = "http://example.com/offer";
  QTest::newRow("shipped template")
      << true << shipped() << QByteArray("<head></head>") << QString::fromLatin1(url)
      << "<head>" + filled(shipped(), url) + "</head>";
  QTest::newRow("template missing: tag still rewritten")
      << false << QByteArray() << QByteArray("<HEAD></HEAD>") << QString::fromLatin1(url)
      << QByteArray("<HEAD></head>");
  QTest::newRow("template empty") << true << QByteArray() << QByteArray("<HEAD></HEAD>")
                                  << QString::fromLatin1(url) << QByteArray("<HEAD></head>");
  QTest::newRow("template without placeholder")
      << true << QByteArray("<script>go()</script>") << QByteArray("<head></head>")
      << QString::fromLatin1(url) << QByteArray("<head><script>go()</script></head>");
  QTest::newRow("placeholder twice, other case left")
      << true << QByteArray("<a href=\"[LOCATION]\">[LOCATION] [location]</a>")
      << QByteArray("<head></head>") << QStringLiteral("u")
      << QByteArray("<head><a href=\"u\">u [location]</a></head>");
  QTest::newRow("url with quotes and accents, UTF-8 page")
      << true << QByteArray("<s a=\"[LOCATION]\">") << QByteArray("<head></head>\xC3\xA9")
      << QStringLiteral("http://x.org/caf\u00E9?q=\"1\"")
      << QByteArray("<head><s a=\"http://x.org/caf\xC3\xA9?q=\"1\"\"></head>\xC3\xA9");
  QTest::newRow("url with accents, single-byte page")
      << true << QByteArray("<s a=\"[LOCATION]\">") << QByteArray("<head></head>\xE9")
      << QStringLiteral("http://x.org/caf\u00E9")
      << QByteArray("<head><s a=\"http://x.org/caf&#233;\"></head>\xE9");
  QTest::newRow("no closing head tag") << true << shipped() << QByteArray("<head><body>")
                                       << QString::fromLatin1(url) << QByteArray();
}

void ProOptionsTest::backButton() {
  QFETCH(bool, present);
  QFETCH(QByteArray, templ);
  QFETCH(QByteArray, page);
  QFETCH(QString, url);
  QFETCH(QByteArray, expected);

  setTemplate(present, templ);
  const QString path = writePage(QStringLiteral("sales.htm"), page);
  pageList_.setEditText(path);
  MsgBoxRecorder rec;
  QPointer<frmPRO> w = open();
  QCOMPARE(child<QLabel>(w, "lblNotAvailable")->isVisible(), !present);

  // The template was read when the window opened.
  setTemplate(true, "changed later");
  child<QLineEdit>(w, "txtBackRedirect")->setText(url);
  click(w, "cmdUpdate_2");

  QCOMPARE(rec.calls.size(), 1);
  QCOMPARE(rec.calls[0].prompt, expected.isEmpty()
                                    ? QStringLiteral("Broken HTML file (<HEAD> tag is missing. "
                                                     "Can't complete this action")
                                    : QStringLiteral("Done!"));
  QCOMPARE(testfiles::read(path), expected.isEmpty() ? page : expected);

  // The red label stays in the header line whichever panel is open.
  click(w, "lblMenu_0");
  QCOMPARE(child<QLabel>(w, "lblNotAvailable")->isVisible(), !present);
  click(w, "lblMenu_1");
  QCOMPARE(child<QLabel>(w, "lblNotAvailable")->isVisible(), !present);
  w->close();
}

void ProOptionsTest::backButtonTwiceWithTwoUrls() {
  const QString path = writePage(QStringLiteral("sales.htm"), "<head></head>");
  pageList_.setEditText(path);
  MsgBoxRecorder rec;
  QPointer<frmPRO> w = open();
  auto* url = child<QLineEdit>(w, "txtBackRedirect");
  url->setText(QStringLiteral("http://a.example/"));
  click(w, "cmdUpdate_2");
  url->setText(QStringLiteral("http://b.example/"));
  click(w, "cmdUpdate_2");
  QCOMPARE(testfiles::read(path), "<head>" + filled(shipped(), "http://a.example/") +
                                      filled(shipped(), "http://b.example/") + "</head>");
  w->close();
}

void ProOptionsTest::fileFailure_data() {
  QTest::addColumn<int>("action");
  QTest::addColumn<QString>("verb");
  // A name the save's temporary file beside it cannot have: the read works,
  // the write fails, for any user.
  const QString tooLongForSaving = QString(249, u'a') + QStringLiteral(".htm");
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("deleted");
  for (int action = 0; action < 3; ++action) {
    QTest::addRow("page gone, action %d", action)
        << action << QStringLiteral("read") << QStringLiteral("sales.htm") << true;
    QTest::addRow("page cannot be written, action %d", action)
        << action << QStringLiteral("save") << tooLongForSaving << false;
  }
}

void ProOptionsTest::fileFailure() {
  QFETCH(int, action);
  QFETCH(QString, verb);
  QFETCH(QString, name);
  QFETCH(bool, deleted);

  const QByteArray page = "<html><head><title>t</title></head></html>";
  const QString path = writePage(name, page);
  QCOMPARE(testfiles::read(path), page);
  if (deleted) QFile::remove(path);
  pageList_.setEditText(path);
  showOtherPage();
  MsgBoxRecorder rec;
  QPointer<frmPRO> w = open();
  click(w, QStringLiteral("cmdUpdate_%1").arg(action).toLatin1());

  QCOMPARE(rec.calls.size(), 1);
  QCOMPARE(rec.calls[0].title, QStringLiteral("File Error"));
  QVERIFY2(rec.calls[0].prompt.startsWith(QStringLiteral("Could not %1 %2: ").arg(verb, name)),
           qPrintable(rec.calls[0].prompt));
  QCOMPARE(QFile::exists(path), !deleted);
  if (!deleted) QCOMPARE(testfiles::read(path), page);
  QCOMPARE(QDir(dir_->path()).entryList(QDir::Files).size(), deleted ? 1 : 2);
  QCOMPARE(pagescheme::pathOf(browser_->view()->url()), other_);
  w->close();
}

void ProOptionsTest::everyPageKeepsEveryOtherByte_data() {
  QTest::addColumn<QString>("page");
  QTest::addColumn<int>("action");
  for (const QString& page : testfiles::pages()) {
    QTest::addRow("%s, head code", qPrintable(testfiles::pageName(page))) << page << 1;
    QTest::addRow("%s, title", qPrintable(testfiles::pageName(page))) << page << 0;
  }
}

void ProOptionsTest::everyPageKeepsEveryOtherByte() {
  QFETCH(QString, page);
  QFETCH(int, action);
  QV_SKIP_ABSENT_CORPUS(page);

  const QString path = testfiles::copyPage(page, dir_->path());
  const QByteArray before = testfiles::read(path);
  pageList_.setEditText(path);
  MsgBoxRecorder rec;
  QPointer<frmPRO> w = open();

  // The expected bytes, worked out on the file's text: its bytes one for one,
  // or its UTF-16 units where the page is UTF-16.
  const TextBuffer decoded = textcodec::decode(before);
  const bool wide =
      decoded.encoding == TextEncoding::Utf16LeBom || decoded.encoding == TextEncoding::Utf16BeBom;
  QString text = wide ? decoded.text : QString::fromLatin1(before);
  const QString code = QStringLiteral("<script src=\"t.js\"></script>\n");
  if (action == 1) {
    child<QPlainTextEdit>(w, "txtRetargeting")->setPlainText(code);
    for (const char* tag : {"</Head>", "</HEAD>", "</head>"}) {
      if (!text.contains(QLatin1String(tag))) continue;
      text.replace(QLatin1String(tag), code + QStringLiteral("</head>"));
      break;
    }
  } else {
    child<QLineEdit>(w, "Text1")->setText(QStringLiteral("A & B"));
    for (const char* tag : {"</HEAD>", "</head>"}) {
      if (!text.contains(QLatin1String(tag))) continue;
      static const QRegularExpression title(QStringLiteral("<title>.*?</title>"),
                                            QRegularExpression::CaseInsensitiveOption |
                                                QRegularExpression::DotMatchesEverythingOption);
      const auto m = title.match(text);
      if (m.hasMatch() && m.capturedStart() < text.indexOf(QLatin1String(tag)))
        text.remove(m.capturedStart(), m.capturedLength());
      text.replace(QLatin1String(tag), QStringLiteral("<title>A &amp; B</title></head>"));
      break;
    }
  }
  const QByteArray expected =
      wide ? textcodec::encode(TextBuffer{text, decoded.encoding}) : text.toLatin1();
  click(w, QStringLiteral("cmdUpdate_%1").arg(action).toLatin1());
  QCOMPARE(testfiles::read(path), expected);
  if (action == 1)
    QCOMPARE(rec.calls.size(), 1);
  else
    QVERIFY(rec.calls.isEmpty());
  w->close();
}

void ProOptionsTest::hundredMegabytePage() {
  QByteArray body = QByteArray("<p>Some text with an \xC3\xA9 in it, line after line.</p>\n");
  body = body.repeated(100 * 1024 * 1024 / body.size());
  const QByteArray head = "<html><head><title>Big</title></head><body>\n";
  const QString path = writePage(QStringLiteral("big.html"), head + body + "</body></html>\n");
  pageList_.setEditText(path);
  MsgBoxRecorder rec;
  // No browser: the engine is not what is measured here.
  QPointer<frmPRO> w = new frmPRO(&pageList_, nullptr);
  child<QPlainTextEdit>(w, "txtRetargeting")->setPlainText(QStringLiteral("<meta name=big>"));
  click(w, "cmdUpdate_1");
  QCOMPARE(rec.calls.size(), 1);
  QCOMPARE(rec.calls[0].prompt, QStringLiteral("Done!"));
  const QByteArray after = testfiles::read(path);
  QCOMPARE(after.size(), head.size() + body.size() + 15 + 15);
  QVERIFY(after.startsWith("<html><head><title>Big</title><meta name=big></head><body>\n"));
  QVERIFY(after.endsWith(body.right(4096) + "</body></html>\n"));
  w->close();
}

QV_TEST_MAIN(ProOptionsTest)
#include "pro_options_test.moc"
