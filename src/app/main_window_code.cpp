// The code view in the main window: the Page, Code and Split buttons, Ctrl+U,
// Ctrl+S, and the preview that follows the code as it is typed.
#include <Qsci/qsciscintilla.h>

#include <QComboBox>
#include <QFileInfo>
#include <QJsonArray>
#include <QMouseEvent>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QWebEngineView>

#include "app/main_window.h"
#include "app/main_window_layout.h"
#include "editor/code_view.h"
#include "editor/edit_session.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "engine/page_scheme.h"
#include "engine/page_scripts.h"
#include "files/page_limit.h"
#include "text/code_text.h"
#include "widgets/msg_box.h"
#include "widgets/named.h"
#include "widgets/twips.h"

using View = EditingState::View;

void Form2::setUpCode() {
  splView = named(new QSplitter(Qt::Horizontal, this), "splView");
  twips::place(splView, 405, 1440, 15585, 7575);
  splView->setChildrenCollapsible(false);
  splView->addWidget(WebBrowser1);
  CodeView1 = new CodeView(WebBrowser1->session(), splView);
  splView->addWidget(CodeView1);
  CodeView1->hide();

  const struct {
    QPushButton** button;
    const char* name;
    const char* caption;
    View view;
    const char* tip;
  } views[] = {
      {&cmdViewPage, "cmdViewPage", "Page", View::Page, "The page as its visitors see it"},
      {&cmdViewCode, "cmdViewCode", "Code", View::Code, "The page's code, byte for byte (Ctrl+U)"},
      {&cmdViewSplit, "cmdViewSplit", "Split", View::Split, "The page and its code side by side"},
  };
  for (const auto& v : views) {
    auto* button = named(new QPushButton(QString::fromLatin1(v.caption), Picture2), v.name);
    button->setCheckable(true);
    button->setToolTip(QString::fromLatin1(v.tip));
    twips::place(button, 0, 180, MainWindowMetrics{}.viewButtonWidth, 420);
    const View view = v.view;
    // The button shows what the state says; a click asks for the view.
    connect(button, &QPushButton::clicked, this, [this, view] { requestView(view); });
    *v.button = button;
  }
  connect(WebBrowser1->state(), &EditingState::changed, this, &Form2::showView);
  connect(CodeView1, &CodeView::rested, this, &Form2::previewCode);
  // The caret's element is outlined once the caret rests: finding it reads
  // the code from the start.
  outlineTimer_ = new QTimer(this);
  outlineTimer_->setSingleShot(true);
  outlineTimer_->setInterval(150);
  connect(outlineTimer_, &QTimer::timeout, this, &Form2::outlineCaretElement);
  connect(CodeView1->editor(), &QsciScintilla::cursorPositionChanged, outlineTimer_,
          qOverload<>(&QTimer::start));
  showView();
}

void Form2::showView() {
  const View view = WebBrowser1->state()->view();
  WebBrowser1->setVisible(view != View::Code);
  CodeView1->setVisible(view != View::Page);
  cmdViewPage->setChecked(view == View::Page);
  cmdViewCode->setChecked(view == View::Code);
  cmdViewSplit->setChecked(view == View::Split);
  // Half and half the first time; after that, where the user left the split.
  if (view == View::Split && !splitPlaced_) {
    splitPlaced_ = true;
    const int half = splView->width() / 2;
    splView->setSizes({half, splView->width() - half});
  }
}

void Form2::requestView(View view) {
  EditingState* state = WebBrowser1->state();
  // Until the view really changes, the buttons show the one in place.
  showView();
  if (view == state->view()) return;
  if (view == View::Page) {
    if (!CodeView1->settle()) return;
    const QString path = CodeView1->path();
    CodeView1->clear();
    state->setView(View::Page);
    showFileAgain(path);
    return;
  }
  if (state->codeShown()) {
    state->setView(view);
    return;
  }
  if (refuseWithoutPage()) return;
  if (!state->editing()) {
    openCode(currentPage(), view);
    return;
  }
  // Edits in the page are saved or dropped first; the code then shows the
  // file as written.
  QPointer<Form2> self(this);
  WebBrowser1->session()->settleEdits([self, view](bool proceed) {
    if (!self || !proceed) return;
    self->WebBrowser1->state()->setEditing(false);
    self->openCode(self->currentPage(), view);
  });
}

void Form2::openCode(const QString& page, View view) {
  if (const Status opened = CodeView1->open(page); !opened) {
    FileErrorMsg(QStringLiteral("read"), page, opened.why(), this);
    showView();
    return;
  }
  WebBrowser1->state()->setView(view);
  // The preview beside the code is the page as its visitors see it.
  showFileAgain(page);
  CodeView1->editor()->setFocus();
}

bool Form2::leaveCodeFor(const QString& page) {
  if (!WebBrowser1->state()->codeShown() || page == CodeView1->path()) return true;
  const QString was = CodeView1->path();
  if (!CodeView1->settle()) return false;
  pagescheme::forgetBytes(was);
  if (const Status opened = CodeView1->open(page); !opened) {
    // No code to show for it: the page view says what the preview can.
    CodeView1->clear();
    WebBrowser1->state()->setView(View::Page);
  }
  return true;
}

bool Form2::saveShortcut() {
  EditingState* state = WebBrowser1->state();
  if (state->codeShown()) {
    const QString path = CodeView1->path();
    if (CodeView1->save()) showFileAgain(path);
    return true;
  }
  if (!state->editing()) return false;
  if (!state->holdsEdit() || state->busy()) return true;
  // The same save as the edit button's; editing goes on in the page shown again.
  const QString page = WebBrowser1->session()->path();
  QPointer<Form2> self(this);
  WebBrowser1->session()->save([self, page](bool saved) {
    if (self && saved) self->WebBrowser1->Navigate2(page);
  });
  return true;
}

void Form2::showFileAgain(const QString& path) {
  if (path.isEmpty()) return;
  const bool served = pagescheme::bytesFor(path).has_value();
  pagescheme::forgetBytes(path);
  if (served || WebBrowser1->LocationPath() != path) WebBrowser1->Navigate2(path);
}

void Form2::previewCode() {
  const QString path = CodeView1->path();
  if (path.isEmpty() || WebBrowser1->state()->editing()) return;
  // Nothing is written: the page is served from memory until the code is
  // saved or left, at the place it was scrolled to. A page too big for the
  // engine is not given to it; the preview keeps its note.
  if (CodeView1->big()) return;
  QByteArray bytes = CodeView1->bytesNow();
  if (bytes.size() > pagelimit::kMaxShownBytes) return;
  pagescheme::serveBytes(path, std::move(bytes));
  QPointer<Form2> self(this);
  pagescripts::call(WebBrowser1->view()->page(), QStringLiteral("scrollPosition"), {},
                    [self, path](const QVariant& at) {
                      if (!self || self->CodeView1->path() != path) return;
                      self->scrollAfterLoad_ = at.toList();
                      self->WebBrowser1->Navigate2(path);
                    });
}

void Form2::restorePreviewScroll() {
  if (scrollAfterLoad_.size() != 2) return;
  pagescripts::call(WebBrowser1->view()->page(), QStringLiteral("scrollTo"),
                    QJsonArray{scrollAfterLoad_[0].toDouble(), scrollAfterLoad_[1].toDouble()});
  scrollAfterLoad_.clear();
}

void Form2::pageClickedInSplit() {
  if (WebBrowser1->state()->view() != View::Split) return;
  QPointer<Form2> self(this);
  pagescripts::call(WebBrowser1->view()->page(), QStringLiteral("takeClicked"), {},
                    [self](const QVariant& answer) {
                      const QVariantMap clicked = answer.toMap();
                      if (!self || clicked.isEmpty()) return;
                      const auto tag = codetext::startTag(
                          self->CodeView1->text(),
                          clicked.value(QStringLiteral("name")).toString().toLatin1(),
                          clicked.value(QStringLiteral("ordinal")).toInt());
                      if (tag) self->CodeView1->showAt(tag->first, tag->second);
                    });
}

void Form2::outlineCaretElement() {
  if (WebBrowser1->state()->view() != View::Split || WebBrowser1->state()->editing()) return;
  QsciScintilla* code = CodeView1->editor();
  const long at = code->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
  const auto [name, ordinal] = codetext::elementAt(CodeView1->text(), at);
  pagescripts::call(WebBrowser1->view()->page(), QStringLiteral("outlineElement"),
                    QJsonArray{QString::fromLatin1(name), ordinal});
}
