// About Quorvane: version, licence, the components and their licences, the
// data folder; and the package's copyright file agrees with the list.
#include "help/about_window.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "files/page_history.h"
#include "help/components.h"
#include "support/msg_box_recorder.h"
#include "support/test_main.h"

class AboutWindowTest final : public QObject {
  Q_OBJECT
 private slots:
  void showsVersionLicenceAndComponents() {
    frmAbout about(QStringLiteral("9.8.7"));
    QVERIFY(about.findChild<QLabel*>("lblVersion")->text().contains(u"9.8.7"));
    QVERIFY(about.findChild<QLabel*>("lblLicence")->text().contains(u"GPL-3.0-or-later"));
    auto* list = about.findChild<QTreeWidget*>("lstComponents");
    const QList<Component> all = components::all();
    QCOMPARE(list->topLevelItemCount(), all.size());
    for (int i = 0; i < all.size(); ++i) {
      QVERIFY(list->topLevelItem(i)->text(0).startsWith(all[i].name));
      QCOMPARE(list->topLevelItem(i)->text(2), all[i].licence);
    }
    for (const char* name : {"QScintilla", "libcurl", "QtKeychain", "dtl", "Hunspell"})
      QVERIFY2(!list->findItems(name, Qt::MatchStartsWith).isEmpty(), name);
    QVERIFY(about.findChild<QLabel*>("lblDataFolder")
                ->text()
                .contains(QDir::toNativeSeparators(history::root())));
  }

  void opensTheDataFolder() {
    const QString was = history::root();
    QTemporaryDir dir;
    // Nothing kept yet: the folder is made so that it can open.
    history::setRoot(dir.filePath("not/yet"));
    frmAbout about(QStringLiteral("1"));
    QList<QUrl> opened;
    about.openFolder = [&](const QUrl& url) {
      opened << url;
      return true;
    };
    MsgBoxRecorder messages;
    QTest::mouseClick(about.findChild<QPushButton*>("cmdOpenFolder"), Qt::LeftButton);
    QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(dir.filePath("not/yet"))});
    QVERIFY(QFileInfo(dir.filePath("not/yet")).isDir());
    QVERIFY(messages.calls.isEmpty());
    // A desktop that cannot open it: the user is told, not left guessing.
    about.openFolder = [](const QUrl&) { return false; };
    QTest::mouseClick(about.findChild<QPushButton*>("cmdOpenFolder"), Qt::LeftButton);
    QCOMPARE(messages.calls.size(), 1);
    QVERIFY(messages.calls[0].prompt.startsWith(u"Could not open the folder"));
    history::setRoot(was);
  }

  // The copyright file that ships with the package names every component
  // About lists, with the same licence.
  void theCopyrightFileNamesEveryComponent() {
    QFile file(QStringLiteral(QV_COPYRIGHT_FILE));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.startsWith(
        u"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"));
    QVERIFY(text.contains(u"\nFiles: *\nCopyright: "));
    QVERIFY(text.contains(u"\nLicense: GPL-3+\n"));
    for (const Component& c : components::all())
      QVERIFY2(text.contains(' ' + c.name + QStringLiteral(": ") + c.licence), qPrintable(c.name));
  }
};

QV_TEST_MAIN(AboutWindowTest)
#include "about_window_test.moc"
