#include "tools/every_page.h"

#include <QComboBox>
#include <array>

#include "editor/web_browser.h"
#include "tools/page_batch.h"
#include "tools/text_edits.h"
#include "widgets/msg_box.h"

namespace {

// Occurrences as the replacement finds them: left to right, none overlapping.
int occurrences(const QString& text, const QString& what) {
  if (what.isEmpty()) return 0;
  int n = 0;
  for (qsizetype at = text.indexOf(what); at >= 0; at = text.indexOf(what, at + what.size())) ++n;
  return n;
}

void runAndReport(QComboBox* pageList, WebBrowser* browser, const pagebatch::EditFunction& edit,
                  const QString& one, const QString& many, QWidget* parent) {
  const QList<pagebatch::PageOutcome> outcomes =
      pagebatch::editPages(everypage::pagesFor(pageList), pagebatch::onText(edit), {});
  bool anyFailed = false;
  bool anyWritten = false;
  for (const pagebatch::PageOutcome& o : outcomes) {
    anyFailed = anyFailed || !o.failure.isEmpty();
    anyWritten = anyWritten || o.changes > 0;
  }
  // The refresh comes before the message, as after one page.
  if (anyWritten && browser && pageList && !pageList->currentText().isEmpty())
    browser->Navigate2(pageList->currentText());
  MsgBox(pagebatch::toolReport(outcomes, one, many), MsgButtons::OkOnly,
         anyFailed ? MsgIcon::Warning : MsgIcon::Information, QStringLiteral("Done"), parent);
}

}  // namespace

namespace everypage {

QStringList pagesFor(const QComboBox* pageList) {
  QStringList pages = pagebatch::pagesOf(pageList);
  if (pages.isEmpty() && pageList && !pageList->currentText().isEmpty())
    pages.append(pageList->currentText());
  return pages;
}

QList<pagebatch::PageOutcome> editEach(const QStringList& pages, const EditOne& edit) {
  pagebatch::PageBatch batch({});  // history copies named by the caller's action
  for (const QString& page : pages)
    batch.add(page, [&edit, &page](const QByteArray& bytes) { return edit(page, bytes); });
  return batch.finish();
}

void replaceTag(QComboBox* pageList, WebBrowser* browser, const QString& tag, const QString& code,
                QWidget* parent) {
  const auto edit = [tag, code](const QString& page) {
    pagebatch::TextEdit edited;
    edited.changes = occurrences(page, tag);
    if (edited.changes > 0) edited.text = textedits::replaceTag(page, tag, code);
    return edited;
  };
  runAndReport(pageList, browser, edit, QStringLiteral("%1 tag replaced"),
               QStringLiteral("%1 tags replaced"), parent);
}

void insertHeadCode(QComboBox* pageList, WebBrowser* browser, const QString& code,
                    QWidget* parent) {
  const auto edit = [code](const QString& page) {
    pagebatch::TextEdit edited;
    std::optional<QString> inserted = textedits::insertHeadCode(page, code);
    if (!inserted) {
      edited.refused = QStringLiteral("the <HEAD> tag is missing");
      return edited;
    }
    // The first of the three forms the page holds is the one given the code.
    for (const QString& form :
         {QStringLiteral("</Head>"), QStringLiteral("</HEAD>"), QStringLiteral("</head>")}) {
      if ((edited.changes = occurrences(page, form)) > 0) break;
    }
    edited.text = std::move(*inserted);
    return edited;
  };
  runAndReport(pageList, browser, edit, QStringLiteral("Code inserted before %1 closing head tag"),
               QStringLiteral("Code inserted before %1 closing head tags"), parent);
}

}  // namespace everypage
