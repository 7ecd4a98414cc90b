// Every window of the program, as it first shows: no visible button, field,
// box, list or link without a tooltip saying what it does.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "app/main_window.h"
#include "app/shortcuts_window.h"
#include "editor/web_browser.h"
#include "help/about_window.h"
#include "help/quick_help.h"
#include "history/history_window.h"
#include "intake/unpack_window.h"
#include "intake/welcome.h"
#include "publish/publish_window.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "tools/check_window.h"
#include "tools/find_window.h"
#include "tools/image_window.h"
#include "tools/insert_code.h"
#include "tools/link_window.h"
#include "tools/links_window.h"
#include "tools/pro_options.h"
#include "tools/snippets_window.h"
#include "widgets/link_label.h"

namespace {

bool isControl(const QWidget* w) {
  if (qobject_cast<const QHeaderView*>(w)) return false;
  return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w) ||
         qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
         qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
         qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const LinkLabel*>(w);
}

// The parts of a compound control (a combo box's field, a spin box's arrows,
// a list's cell editor) are spoken for by the control itself.
bool partOfAnother(const QWidget* w, const QWidget* window) {
  for (const QWidget* up = w->parentWidget(); up && up != window; up = up->parentWidget())
    if (qobject_cast<const QComboBox*>(up) || qobject_cast<const QAbstractSpinBox*>(up) ||
        qobject_cast<const QLineEdit*>(up) || qobject_cast<const QAbstractItemView*>(up))
      return true;
  return false;
}

QStringList untipped(QWidget* window) {
  QStringList out;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (!isControl(w) || !w->isVisibleTo(window) || partOfAnother(w, window)) continue;
    if (w->toolTip().trimmed().isEmpty())
      out << (w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                        : w->objectName());
  }
  return out;
}

}  // namespace

class WindowTipsTest final : public QObject {
  Q_OBJECT

  QTemporaryDir dir;
  std::unique_ptr<Form2> form;
  QComboBox* combo = nullptr;
  WebBrowser* browser = nullptr;
  QString page;

 private slots:
  // The device chosen and other settings go to a test folder, never the user's.
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  void init() {
    page = dir.filePath("sales.htm");
    testfiles::write(page, "<html><head><title>T</title></head><body><p>A</p></body></html>");
    form = std::make_unique<Form2>();
    form->findChild<QTimer*>("Timer1")->stop();
    combo = form->findChild<QComboBox*>("Combo1");
    browser = form->findChild<WebBrowser*>("WebBrowser1");
  }
  void cleanup() { form.reset(); }

  void everyWindowTipsEveryControl_data() {
    QTest::addColumn<QString>("window");
    for (const char* w :
         {"Form2 empty", "Form2", "frmdropfiles", "frmUnpack", "Form3", "frmPRO", "frmQuickHelp",
          "frmHistory", "frmFind", "frmCheck", "frmPublish", "frmLink", "frmImage", "frmLinks",
          "frmShortcuts", "frmAbout", "frmSnippets"})
      QTest::newRow(w) << QString::fromLatin1(w);
  }
  void everyWindowTipsEveryControl() {
    QFETCH(QString, window);
    if (window != QLatin1String("Form2 empty")) {
      combo->addItem(page);
      combo->setCurrentIndex(0);
    }
    const QString folder = dir.path();
    std::unique_ptr<QWidget> made;
    QWidget* w = form.get();
    if (window == "frmdropfiles") made.reset(new frmdropfiles(combo, form.get()));
    if (window == "frmUnpack") made.reset(new frmUnpack(dir.filePath("product.zip"), form.get()));
    if (window == "Form3") made.reset(new Form3(combo, browser, form.get()));
    if (window == "frmPRO") made.reset(new frmPRO(combo, browser, form.get()));
    if (window == "frmQuickHelp") made.reset(new frmQuickHelp(form.get()));
    if (window == "frmHistory") made.reset(new frmHistory(combo, browser, form.get()));
    if (window == "frmFind") made.reset(new frmFind(combo, browser, form.get()));
    if (window == "frmCheck")
      made.reset(new frmCheck(combo, browser, form.get(), dir.filePath("check.ini")));
    if (window == "frmPublish") {
      PublishPaths paths;
      paths.settingsFile = dir.filePath("publish.ini");
      paths.knownHostsFile = dir.filePath("known_hosts");
      paths.checkSettingsFile = dir.filePath("check.ini");
      made.reset(new frmPublish(combo, form.get(), paths));
    }
    if (window == "frmLink")
      made.reset(new frmLink(folder, {QStringLiteral("https://example.com/"), QStringLiteral("x")},
                             true, frmLink::TextUse::Editable, form.get()));
    if (window == "frmImage") made.reset(new frmImage(folder, {}, form.get()));
    if (window == "frmLinks") made.reset(new frmLinks(browser, form.get()));
    if (window == "frmShortcuts") made.reset(new frmShortcuts(form->actionList(), form.get()));
    if (window == "frmAbout") made.reset(new frmAbout(QStringLiteral("1.0"), form.get()));
    if (window == "frmSnippets") made.reset(new frmSnippets(combo, browser, {}, form.get()));
    if (made) {
      // Windows that delete themselves on closing are deleted here instead.
      made->setAttribute(Qt::WA_DeleteOnClose, false);
      w = made.get();
    }
    const QStringList missing = untipped(w);
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
  }
};

QV_TEST_MAIN(WindowTipsTest)
#include "window_tips_test.moc"
