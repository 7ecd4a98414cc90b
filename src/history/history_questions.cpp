#include "history/history_questions.h"

#include <QFileInfo>
#include <QLocale>
#include <QPointer>

#include "editor/web_browser.h"
#include "widgets/msg_box.h"

namespace history {

namespace {

const QString kTitle = QStringLiteral("Page History");

QString when(const Version& version) {
  return version.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

}  // namespace

QString versionLabel(const Version& version) {
  QString label =
      QStringLiteral("%1   %2   %3")
          .arg(when(version), version.action,
               QLocale::c().formattedDataSize(version.size, 1, QLocale::DataSizeTraditionalFormat));
  if (version.original) label += QStringLiteral("   (original)");
  return label;
}

void askBeforeWritingWithoutCopy(QWidget* parent) {
  setWithoutCopyQuestion([parent = QPointer<QWidget>(parent)](const QString& page,
                                                              const QString& why) {
    const QString prompt =
        QStringLiteral(
            "A history copy of %1 could not be kept: %2.\n\nSave without a history copy?")
            .arg(QFileInfo(page).fileName(), why);
    return MsgBox(prompt, MsgButtons::YesNo, MsgIcon::Warning, kTitle, parent) == MsgAnswer::Yes;
  });
}

void stopAsking() { setWithoutCopyQuestion({}); }

void undoLastChange(const QString& page, WebBrowser* browser, QWidget* parent) {
  const std::vector<Version> kept = versions(page);
  const QString name = QFileInfo(page).fileName();
  if (kept.empty()) {
    MsgBox(QStringLiteral("There is no earlier version of %1 to go back to.").arg(name),
           MsgButtons::OkOnly, MsgIcon::Information, kTitle, parent);
    return;
  }
  const Version& newest = kept.front();
  const QString prompt =
      QStringLiteral("Undo the last change to %1 (%2, %3)?").arg(name, newest.action, when(newest));
  if (MsgBox(prompt, MsgButtons::YesNo, MsgIcon::Question, kTitle, parent) != MsgAnswer::Yes)
    return;
  if (const Status restored = restore(page, newest); !restored) {
    FileErrorMsg(QStringLiteral("save"), page, restored.why(), parent);
    return;
  }
  if (browser) browser->Navigate2(page);
}

}  // namespace history
