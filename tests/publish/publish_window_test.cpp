// The Publish window: its controls, the file list, the keyring notice, a
// publish driven by clicks against a real sshd, and how the main window
// opens it.
#include "publish/publish_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include "app/main_window.h"
#include "app/main_window_layout.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "publish_test_util.h"
#include "support/msg_box_recorder.h"
#include "support/test_main.h"
#include "test_servers.h"
#include "widgets/link_label.h"

using namespace publishTest;

class PublishWindowTest final : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QComboBox pages_;

  PublishPaths paths(const QString& name) const {
    return PublishPaths{dir_.filePath(name + ".ini"), dir_.filePath("known_hosts")};
  }
  static QStringList rows(QTreeWidget* list, int column) {
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(column);
    return out;
  }

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    write(dir_.filePath("site/index.html"),
          "<link href=\"css/s.css\" rel=stylesheet><img src=pic.jpg>"
          "<a href=\"../../.ssh/id_rsa\">k</a><a href=\"%2E%2E/secret\">s</a>"
          "<a href=\"terms.html\">terms</a>");
    write(dir_.filePath("site/terms.html"), "<p>terms</p>");
    write(dir_.filePath("site/pic.jpg"), QByteArray(2048, 'j'));
    write(dir_.filePath("site/css/s.css"), "a{}");
    write(dir_.filePath("secret"), "no");
    pages_.addItems({dir_.filePath("site/index.html"), dir_.filePath("site/terms.html")});
  }

  void controlsAndThePortFollowingTheProtocol() {
    auto* w = new frmPublish(&pages_, nullptr, paths("controls"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Publish"));
    for (const char* name : {"cboProtocol", "txtHost", "txtPort", "txtUser", "txtPassword",
                             "chkRemember", "txtRemoteFolder", "lstFiles", "cmdTest", "cmdPublish",
                             "prgUpload", "cmdCancel", "cmdClose"})
      QVERIFY2(w->findChild<QWidget*>(name), name);
    auto* protocol = w->findChild<QComboBox*>("cboProtocol");
    auto* port = w->findChild<QLineEdit*>("txtPort");
    auto* security = w->findChild<QLabel*>("lblSecurity");
    QCOMPARE(w->findChild<QPushButton*>("cmdTest")->text(), QStringLiteral("Test Connection"));
    QCOMPARE(w->findChild<QCheckBox*>("chkRemember")->text(), QStringLiteral("Remember password"));
    QCOMPARE(protocol->count(), 3);
    QCOMPARE(protocol->itemText(0), QStringLiteral("SFTP"));
    QCOMPARE(port->text(), QStringLiteral("22"));
    QVERIFY(!security->isVisibleTo(w));

    protocol->setCurrentIndex(1);
    QCOMPARE(port->text(), QStringLiteral("21"));
    QVERIFY(!security->isVisibleTo(w));
    protocol->setCurrentIndex(2);
    QVERIFY(security->isVisibleTo(w));
    QVERIFY(security->text().contains("password and your pages travel unprotected"));
    // A port the user typed is theirs.
    port->setText("2121");
    protocol->setCurrentIndex(0);
    QCOMPARE(port->text(), QStringLiteral("2121"));
    delete w;
  }

  void listsThePagesAndTheFilesTheyUseInsideTheirFolder() {
    auto* w = new frmPublish(&pages_, nullptr, paths("list"));
    auto* list = w->findChild<QTreeWidget*>("lstFiles");
    QCOMPARE(rows(list, 0), (QStringList{"css/s.css", "pic.jpg", "index.html", "terms.html"}));
    QCOMPARE(rows(list, 2), (QStringList{"new", "new", "new", "new"}));
    QVERIFY(rows(list, 1).at(1).startsWith("2"));  // 2 KB
    QCOMPARE(list->topLevelItem(0)->checkState(0), Qt::Checked);
    delete w;

    // What was sent to this site before and is unchanged is not ticked.
    SiteStore store(paths("list").settingsFile);
    SiteFields site{Protocol::Sftp, "example.com", 22, "me", "/www"};
    store.setLastSite(site);
    store.rememberUpload(site, "pic.jpg", fileSha256(dir_.filePath("site/pic.jpg")));
    store.rememberUpload(site, "terms.html", "0000");
    store.sync();
    w = new frmPublish(&pages_, nullptr, paths("list"));
    list = w->findChild<QTreeWidget*>("lstFiles");
    QCOMPARE(rows(list, 2), (QStringList{"new", "unchanged", "new", "changed"}));
    QCOMPARE(list->topLevelItem(1)->checkState(0), Qt::Unchecked);
    QCOMPARE(list->topLevelItem(3)->checkState(0), Qt::Checked);
    delete w;
  }

  void withoutAKeyringThePasswordIsNotRemembered() {
    SiteStore store(paths("keyring").settingsFile);
    store.setLastSite(SiteFields{Protocol::Sftp, "example.com", 22, "me", "/www"});
    store.sync();
    auto* w = new frmPublish(&pages_, nullptr, paths("keyring"));
    auto* notice = w->findChild<QLabel*>("lblKeyring");
    QTRY_VERIFY_WITH_TIMEOUT(notice->isVisibleTo(w), 30000);
    QVERIFY(notice->text().contains("password is not remembered"));
    QVERIFY(!w->findChild<QCheckBox*>("chkRemember")->isEnabled());
    // Nothing of it in our settings either.
    w->findChild<QLineEdit*>("txtPassword")->setText("s3cret-word");
    delete w;
    QVERIFY(!read(paths("keyring").settingsFile).contains("s3cret"));
  }

  void publishesByClicksAndAsksOnceForTheHostKey() {
    if (const QString why = testServers::skipReason(); !why.isEmpty()) QSKIP(qPrintable(why));
    testServers::TestAccount account;
    QVERIFY(account.ok());
    testServers::SshServer server(account);
    QVERIFY2(server.start(dir_.filePath("hostkey")), qPrintable(server.error()));
    auto* w = new frmPublish(&pages_, nullptr, paths("click"));
    w->findChild<QLineEdit*>("txtHost")->setText("127.0.0.1");
    w->findChild<QLineEdit*>("txtPort")->setText(QString::number(server.port()));
    w->findChild<QLineEdit*>("txtUser")->setText(account.name);
    w->findChild<QLineEdit*>("txtPassword")->setText(account.password);
    const QString remote = account.home + "/www";
    w->findChild<QLineEdit*>("txtRemoteFolder")->setText(remote);
    QSignalSpy finished(w, &frmPublish::operationFinished);
    auto* publish = w->findChild<QPushButton*>("cmdPublish");

    MsgBoxRecorder messages(MsgAnswer::Yes);
    QTest::mouseClick(publish, Qt::LeftButton);
    QVERIFY(finished.wait(60000));
    QCOMPARE(finished.last().at(0).toBool(), true);
    QCOMPARE(messages.calls.size(), 2);
    QVERIFY(messages.calls[0].prompt.contains(
        testServers::SshServer::fingerprintOf(dir_.filePath("hostkey"))));
    QCOMPARE(messages.calls[0].buttons, MsgButtons::YesNo);
    QCOMPARE(messages.calls[1].prompt, QStringLiteral("Published: 4 files uploaded."));
    QCOMPARE(remoteFiles(remote),
             (QStringList{"css/s.css", "index.html", "pic.jpg", "terms.html"}));
    auto* list = w->findChild<QTreeWidget*>("lstFiles");
    QCOMPARE(rows(list, 2), (QStringList{"unchanged", "unchanged", "unchanged", "unchanged"}));
    QCOMPARE(w->findChild<QProgressBar*>("prgUpload")->value(), 1000);

    // Changed by another program while the window stays open: Publish reads
    // the files again, sends it, and remembers the bytes it sent.
    write(dir_.filePath("site/terms.html"), "<p>terms, edited elsewhere</p>");
    messages.calls.clear();
    QTest::mouseClick(publish, Qt::LeftButton);
    QVERIFY(finished.wait(60000));
    QCOMPARE(messages.calls.size(), 1);
    QCOMPARE(messages.calls[0].prompt, QStringLiteral("Published: 1 file uploaded."));
    QCOMPARE(read(remote + "/terms.html"), QByteArray("<p>terms, edited elsewhere</p>"));
    QCOMPARE(rows(list, 2), (QStringList{"unchanged", "unchanged", "unchanged", "unchanged"}));
    const SiteFields site{Protocol::Sftp, "127.0.0.1", server.port(), account.name, remote};
    QCOMPARE(SiteStore(paths("click").settingsFile).uploaded(site).value("terms.html"),
             fileSha256(dir_.filePath("site/terms.html")));
    delete w;

    // Reopened: the site is remembered, the key is trusted, one page changed.
    write(dir_.filePath("site/terms.html"), "<p>new terms</p>");
    w = new frmPublish(&pages_, nullptr, paths("click"));
    QCOMPARE(w->findChild<QLineEdit*>("txtRemoteFolder")->text(), remote);
    QCOMPARE(w->findChild<QLineEdit*>("txtPassword")->text(), QString());
    w->findChild<QLineEdit*>("txtPassword")->setText(account.password);
    QSignalSpy again(w, &frmPublish::operationFinished);
    messages.calls.clear();
    QTest::mouseClick(w->findChild<QPushButton*>("cmdPublish"), Qt::LeftButton);
    QVERIFY(again.wait(60000));
    QCOMPARE(messages.calls.size(), 1);
    QCOMPARE(messages.calls[0].prompt, QStringLiteral("Published: 1 file uploaded."));
    QCOMPARE(read(remote + "/terms.html"), QByteArray("<p>new terms</p>"));

    // Wrong password: the cause is named.
    w->findChild<QLineEdit*>("txtPassword")->setText("wrong");
    messages.calls.clear();
    QTest::mouseClick(w->findChild<QPushButton*>("cmdTest"), Qt::LeftButton);
    QVERIFY(again.wait(60000));
    QCOMPARE(messages.calls.size(), 1);
    QVERIFY2(messages.calls[0].prompt.contains("login refused"),
             qPrintable(messages.calls[0].prompt));
    delete w;

    // Cancel while a large download goes up: it never appears, half or whole.
    write(dir_.filePath("site/big.bin"), QByteArray(64 << 20, 'b'));
    write(dir_.filePath("site/terms.html"), "<p>new terms</p><a href=big.bin>get</a>");
    w = new frmPublish(&pages_, nullptr, paths("click"));
    w->findChild<QLineEdit*>("txtPassword")->setText(account.password);
    auto* bar = w->findChild<QProgressBar*>("prgUpload");
    auto* cancel = w->findChild<QPushButton*>("cmdCancel");
    QSignalSpy moving(bar, &QProgressBar::valueChanged);
    QSignalSpy stopped(w, &frmPublish::operationFinished);
    messages.calls.clear();
    QTest::mouseClick(w->findChild<QPushButton*>("cmdPublish"), Qt::LeftButton);
    QVERIFY(cancel->isEnabled());
    QVERIFY(moving.wait(60000));
    QVERIFY(bar->format().contains("big.bin"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(stopped.wait(60000));
    QCOMPARE(stopped.last().at(0).toBool(), false);
    QVERIFY(messages.calls.last().prompt.startsWith("Publishing was cancelled"));
    QVERIFY(!cancel->isEnabled());
    QVERIFY(w->findChild<QPushButton*>("cmdPublish")->isEnabled());
    QCOMPARE(remoteFiles(remote),
             (QStringList{"css/s.css", "index.html", "pic.jpg", "terms.html"}));
    QCOMPARE(read(remote + "/terms.html"), QByteArray("<p>new terms</p>"));
    delete w;
  }

  // Errors on the pages are asked about before anything is sent; warnings
  // alone are not. The site is a closed port: a publish that goes ahead fails
  // at once, and says so.
  void checksThePagesFirst() {
    write(dir_.filePath("broken/index.html"),
          "<html><head><title>t</title><link rel=stylesheet href=gone.css></head>"
          "<body><img src=Pic.JPG alt=p></body></html>");
    write(dir_.filePath("broken/pic.jpg"), "jpg");
    QComboBox broken;
    broken.addItem(dir_.filePath("broken/index.html"));
    const int port = testServers::freePort();
    const auto open = [&](QComboBox* list) {
      auto* w = new frmPublish(list, nullptr, paths("check"));
      w->findChild<QLineEdit*>("txtHost")->setText("127.0.0.1");
      w->findChild<QLineEdit*>("txtPort")->setText(QString::number(port));
      w->findChild<QLineEdit*>("txtUser")->setText("nobody");
      return w;
    };
    MsgBoxRecorder messages;
    for (const MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Show, MsgAnswer::Yes}) {
      QPointer<frmPublish> w = open(&broken);
      int shown = 0;
      w->setShowCheck([&] { ++shown; });
      QSignalSpy finished(w.data(), &frmPublish::operationFinished);
      messages.calls.clear();
      messages.queue({answer});
      QTest::mouseClick(w->findChild<QPushButton*>("cmdPublish"), Qt::LeftButton);
      QTRY_VERIFY(!messages.calls.isEmpty());
      QCOMPARE(messages.calls[0].prompt,
               QStringLiteral("2 problems found on these pages. Publish anyway?"));
      QCOMPARE(messages.calls[0].buttons, MsgButtons::YesNoShow);
      if (answer == MsgAnswer::Yes) {
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 30000);
        QVERIFY(messages.calls.last().prompt.startsWith("Publishing stopped"));
      } else {
        QTRY_VERIFY(!w || !w->busy());
        QCOMPARE(messages.calls.size(), 1);
        QCOMPARE(finished.size(), 0);
      }
      QCOMPARE(shown, answer == MsgAnswer::Show ? 1 : 0);
      if (answer == MsgAnswer::Show) QVERIFY(!w || !w->isVisible());
      delete w;
    }
    // Warnings only (no title, a link out of the folder): no question.
    auto* w = open(&pages_);
    QSignalSpy finished(w, &frmPublish::operationFinished);
    messages.calls.clear();
    QTest::mouseClick(w->findChild<QPushButton*>("cmdPublish"), Qt::LeftButton);
    QVERIFY(finished.wait(30000));
    QCOMPARE(messages.calls.size(), 1);
    QVERIFY(messages.calls[0].prompt.startsWith("Publishing stopped"));
    delete w;
  }

  void layoutKeepsThePublishLinkInTheHeaderBand_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("left");
    QTest::newRow("as designed") << 16515 << 12180;
    QTest::newRow("10000 wide") << 10000 << 5665;
    QTest::newRow("too narrow") << 3000 << 0;
  }
  void layoutKeepsThePublishLinkInTheHeaderBand() {
    QFETCH(int, width);
    QFETCH(int, left);
    const MainWindowLayout l = layoutForWidth(width);
    QCOMPARE(l.lblPublishLeft, left);
    if (left > 0)
      QCOMPARE(l.lblPublishLeft + MainWindowMetrics{}.lblPublishWidth + 100, l.cmdProLeft);
  }

  void mainWindowOpensItByLinkAndCtrlShiftU() {
    Form2 form;
    form.findChild<QTimer*>("Timer1")->stop();
    form.resize(700, 600);
    form.show();
    auto* link = form.findChild<LinkLabel*>("lblPublish");
    QVERIFY(link);
    QCOMPARE(link->text(), QStringLiteral("Publish"));
    QCOMPARE(link->parentWidget()->objectName(), QStringLiteral("Picture2"));
    QVERIFY(link->isVisible());
    QVERIFY(link->geometry().right() < form.width());

    for (const bool byKey : {false, true}) {
      QString opened;
      QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        opened = modal ? modal->objectName() : QString();
        if (modal) modal->close();
      });
      if (byKey)
        QTest::keyClick(&form, Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);
      else
        QTest::mouseClick(link, Qt::LeftButton);
      QCOMPARE(opened, QStringLiteral("frmPublish"));
    }

    // While a page is edited, Ctrl+U is the editor's underline and
    // Ctrl+Shift+U publishes nothing.
    EditingState* state = form.findChild<WebBrowser*>("WebBrowser1")->state();
    state->setEditing(true);
    bool openedWhileEditing = false;
    QTimer::singleShot(0, [&] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        openedWhileEditing = true;
        modal->close();
      }
    });
    QTest::keyClick(&form, Qt::Key_U, Qt::ControlModifier);
    QTest::keyClick(&form, Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);
    QCoreApplication::processEvents();
    QVERIFY(!openedWhileEditing);
    // The link says why it waits: what is published is the saved file.
    MsgBoxRecorder messages;
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(messages.calls.size(), 1);
    QVERIFY(messages.calls[0].prompt.startsWith("Please save or discard your changes"));
    state->setEditing(false);
  }
};

QV_TEST_MAIN(PublishWindowTest)
#include "publish_window_test.moc"
