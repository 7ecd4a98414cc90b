#include "tools/editor_menu.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QLocale>
#include <QMenu>
#include <QShortcut>
#include <QUrl>
#include <QWebEngineContextMenuRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "editor/document_ops.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "engine/external_opener.h"
#include "engine/spell_language.h"
#include "tools/image_window.h"
#include "tools/link_window.h"
#include "tools/links_window.h"
#include "tools/my_code.h"

namespace {

QAction* addAction(QMenu* menu, const QString& text, const char* name, std::function<void()> run,
                   bool enabled = true) {
  QAction* a = menu->addAction(text);
  a->setObjectName(QString::fromLatin1(name));
  a->setEnabled(enabled);
  QObject::connect(a, &QAction::triggered, menu, std::move(run));
  return a;
}

QJsonArray imageArgs(const frmImage::Fields& f) { return {f.src, f.alt, f.width, f.height}; }

}  // namespace

EditorMenu::EditorMenu(WebBrowser* browser) : QObject(browser), browser_(browser) {
  QWebEngineView* view = browser->view();
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view, &QWidget::customContextMenuRequested, this, &EditorMenu::requested);

  auto* link = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_K), browser);
  link->setContext(Qt::WidgetWithChildrenShortcut);
  connect(link, &QShortcut::activated, this, &EditorMenu::editLinkAtCaret);
  auto* links = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K), browser);
  links->setContext(Qt::WidgetWithChildrenShortcut);
  connect(links, &QShortcut::activated, this, &EditorMenu::showLinksWindow);

  languages_ = spelllanguage::installed(spelllanguage::folder());
  QWebEngineProfile* profile = view->page()->profile();
  profile->setSpellCheckEnabled(!languages_.isEmpty());
  useLanguageOf({});
  // Each page edited is checked in its own language when there is a dictionary for it.
  connect(browser, &WebBrowser::DownloadComplete, this, [this] {
    if (!browser_ || !editing()) return;
    documentops::run(browser_, QStringLiteral("caret"), {}, this, [this](const QVariant& v) {
      useLanguageOf(v.toMap().value(QStringLiteral("lang")).toString());
    });
  });
}

QString EditorMenu::pageFolder() const {
  const QString path = browser_ ? browser_->LocationPath() : QString();
  return path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
}

QString EditorMenu::language() const {
  if (!browser_) return {};
  return browser_->view()->page()->profile()->spellCheckLanguages().value(0);
}

void EditorMenu::useLanguageOf(const QString& pageLang) {
  if (languages_.isEmpty() || !browser_) return;
  const QString pick = !chosenLanguage_.isEmpty()
                           ? chosenLanguage_
                           : spelllanguage::pick(pageLang, QLocale::system().name(), languages_);
  browser_->view()->page()->profile()->setSpellCheckLanguages({pick});
}

void EditorMenu::chooseLanguage(const QString& language) {
  chosenLanguage_ = language;
  useLanguageOf({});
}

void EditorMenu::requested(const QPoint& pos) {
  if (!browser_) return;
  QWebEngineView* view = browser_->view();
  if (const QWebEngineContextMenuRequest* r = view->lastContextMenuRequest()) {
    request_ = {r->misspelledWord(), r->spellCheckerSuggestions(), r->linkUrl().toString(),
                r->selectedText(), static_cast<int>(r->editFlags())};
  } else {
    request_ = {};
  }
  const QPoint global = view->mapToGlobal(pos);
  if (!editing()) {
    menu_ = viewingMenu();
    menu_->popup(global);
    emit menuShown(menu_);
    return;
  }
  const qreal zoom = view->zoomFactor() > 0 ? view->zoomFactor() : 1.0;
  documentops::run(browser_, QStringLiteral("at"), {qRound(pos.x() / zoom), qRound(pos.y() / zoom)},
                   this, [this, global](const QVariant& v) {
                     if (!editing()) return;
                     menu_ = editingMenu(v.toMap());
                     menu_->popup(global);
                     emit menuShown(menu_);
                   });
}

bool EditorMenu::editing() const { return browser_ && browser_->state()->editing(); }

QMenu* EditorMenu::viewingMenu() {
  auto* menu = new QMenu(browser_);
  menu->setObjectName(QStringLiteral("mnuPage"));
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QWebEnginePage* page = browser_->view()->page();
  addAction(
      menu, QStringLiteral("Copy"), "mnuCopy",
      [page] { page->triggerAction(QWebEnginePage::Copy); }, !request_.selectedText.isEmpty());
  addAction(menu, QStringLiteral("Select All"), "mnuSelectAll",
            [page] { page->triggerAction(QWebEnginePage::SelectAll); });
  const QUrl link(request_.linkUrl);
  if (!request_.linkUrl.isEmpty() && externalopener::opensOutside(link)) {
    menu->addSeparator();
    addAction(menu, QStringLiteral("Open Link in Your Browser"), "mnuOpenLink",
              [link] { externalopener::open(link); });
  }
  return menu;
}

QMenu* EditorMenu::editingMenu(const QVariantMap& at) {
  auto* menu = new QMenu(browser_);
  menu->setObjectName(QStringLiteral("mnuEditor"));
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QPointer<WebBrowser> browser = browser_;
  QWebEnginePage* page = browser_->view()->page();
  const auto edit = [page](QWebEnginePage::WebAction action) {
    return [page, action] { page->triggerAction(action); };
  };
  using F = QWebEngineContextMenuRequest;
  const int flags = request_.editFlags;

  if (!request_.misspelled.isEmpty()) {
    for (const QString& s : request_.suggestions.mid(0, 6)) {
      QAction* a =
          addAction(menu, s, "mnuSuggestion", [page, s] { page->replaceMisspelledWord(s); });
      QFont bold = a->font();
      bold.setBold(true);
      a->setFont(bold);
    }
    if (request_.suggestions.isEmpty())
      addAction(
          menu, QStringLiteral("No Spelling Suggestions"), "mnuNoSuggestion", [] {}, false);
    menu->addSeparator();
  }
  addAction(menu, QStringLiteral("Cut"), "mnuCut", edit(QWebEnginePage::Cut), flags & F::CanCut);
  addAction(menu, QStringLiteral("Copy"), "mnuCopy", edit(QWebEnginePage::Copy),
            flags & F::CanCopy);
  addAction(menu, QStringLiteral("Paste"), "mnuPaste", edit(QWebEnginePage::Paste));
  addAction(menu, QStringLiteral("Paste as Plain Text"), "mnuPastePlain",
            edit(QWebEnginePage::PasteAndMatchStyle));
  menu->addSeparator();
  // Our own link and picture edits are steps of the same undo.
  const auto history = [this, browser](const char* op) {
    return [this, browser, op] {
      if (browser) documentops::run(browser, QString::fromLatin1(op), {}, this);
    };
  };
  addAction(menu, QStringLiteral("Undo"), "mnuUndo", history("undo"));
  addAction(menu, QStringLiteral("Redo"), "mnuRedo", history("redo"));
  menu->addSeparator();
  addAction(menu, QStringLiteral("Bold"), "mnuBold", edit(QWebEnginePage::ToggleBold));
  addAction(menu, QStringLiteral("Italic"), "mnuItalic", edit(QWebEnginePage::ToggleItalic));
  addAction(menu, QStringLiteral("Underline"), "mnuUnderline",
            edit(QWebEnginePage::ToggleUnderline));
  menu->addSeparator();

  const QVariantMap link = at.value(QStringLiteral("link")).toMap();
  const QVariantMap image = at.value(QStringLiteral("image")).toMap();
  const bool selection = !at.value(QStringLiteral("selection")).toString().isEmpty();
  if (!link.isEmpty()) {
    addAction(menu, QStringLiteral("Edit Link…"), "mnuEditLink",
              [this, at] { openLinkWindow(at); });
    addAction(menu, QStringLiteral("Remove Link"), "mnuRemoveLink", [this, browser] {
      if (browser)
        documentops::run(browser, QStringLiteral("remove"), {}, this,
                         [this](const QVariant&) { emit editDone(); });
    });
  } else if (selection) {
    addAction(menu, QStringLiteral("Make Link…"), "mnuMakeLink",
              [this, at] { openLinkWindow(at); });
  }
  if (!image.isEmpty())
    addAction(menu, QStringLiteral("Image…"), "mnuImage",
              [this, image] { openImageWindow(image, false); });
  addAction(menu, QStringLiteral("Insert Image…"), "mnuInsertImage",
            [this] { openImageWindow({}, true); });

  // The user's kept codes, put in at the caret as HTML.
  const QList<Snippet> snippets = mycode::load(browser_->window());
  if (!snippets.isEmpty()) {
    menu->addSeparator();
    QMenu* mine = menu->addMenu(QStringLiteral("Insert My Code"));
    mine->setObjectName(QStringLiteral("mnuInsertMyCode"));
    for (const Snippet& s : snippets) {
      const QString code = s.code;
      QString label = s.name;
      label.replace(u'&', QStringLiteral("&&"));  // not a mnemonic
      addAction(mine, label, "mnuMyCode", [this, browser, code] {
        if (browser)
          documentops::run(browser, QStringLiteral("insertHtml"), {code}, this,
                           [this](const QVariant&) { emit editDone(); });
      });
    }
  }

  if (!languages_.isEmpty()) {
    menu->addSeparator();
    QMenu* langs = menu->addMenu(QStringLiteral("Spelling Language"));
    langs->setObjectName(QStringLiteral("mnuSpellingLanguage"));
    const QString current = language();
    for (const QString& l : languages_) {
      QAction* a = addAction(langs, l, "mnuLanguage", [this, l] { chooseLanguage(l); });
      a->setCheckable(true);
      a->setChecked(l == current);
    }
  }
  return menu;
}

void EditorMenu::editLinkAtCaret() {
  if (!browser_ || !editing()) return;
  documentops::run(browser_, QStringLiteral("caret"), {}, this,
                   [this](const QVariant& v) { openLinkWindow(v.toMap()); });
}

void EditorMenu::openLinkWindow(const QVariantMap& at) {
  if (!browser_ || !editing()) return;
  const QVariantMap link = at.value(QStringLiteral("link")).toMap();
  const QString selection = at.value(QStringLiteral("selection")).toString();
  const bool existing = !link.isEmpty();
  frmLink::Fields fields;
  frmLink::TextUse textUse = frmLink::TextUse::Editable;
  if (existing) {
    fields = {link.value(QStringLiteral("href")).toString(),
              link.value(QStringLiteral("text")).toString(),
              link.value(QStringLiteral("newTab")).toBool()};
    if (link.value(QStringLiteral("hasImage")).toBool()) textUse = frmLink::TextUse::ReadOnly;
  } else if (!selection.isEmpty()) {
    // The selected text becomes the link as it is, markup and all.
    fields.text = selection;
    textUse = frmLink::TextUse::ReadOnly;
  }
  frmLink window(pageFolder(), fields, existing, textUse, browser_->window());
  window.exec();
  if (!browser_) return;
  const frmLink::Fields chosen = window.fields();
  QString op;
  QJsonArray args;
  if (window.choice() == frmLink::Choice::Remove) {
    op = QStringLiteral("remove");
  } else if (window.choice() == frmLink::Choice::Write && existing) {
    op = QStringLiteral("setLink");
    // A picture link's content, and text left as it was, stay untouched.
    const bool textChanged = textUse == frmLink::TextUse::Editable && chosen.text != fields.text;
    args = {chosen.url, textChanged ? QJsonValue(chosen.text) : QJsonValue(),
            chosen.newTab != fields.newTab ? QJsonValue(chosen.newTab) : QJsonValue()};
  } else if (window.choice() == frmLink::Choice::Write) {
    op = QStringLiteral("make");
    args = {chosen.url, chosen.text, chosen.newTab};
  }
  browser_->view()->setFocus();
  if (op.isEmpty()) {
    emit editDone();
    return;
  }
  documentops::run(browser_, op, args, this, [this](const QVariant&) { emit editDone(); });
}

void EditorMenu::openImageWindow(const QVariantMap& image, bool insert) {
  if (!browser_ || !editing()) return;
  const QString folder = pageFolder();
  const frmImage::Fields fields{image.value(QStringLiteral("src")).toString(),
                                image.value(QStringLiteral("alt")).toString(),
                                image.value(QStringLiteral("width")).toString(),
                                image.value(QStringLiteral("height")).toString()};
  frmImage window(folder, fields, browser_->window());
  const bool ok = window.exec() == QDialog::Accepted;
  if (!browser_) return;
  browser_->view()->setFocus();
  if (!ok) {
    emit editDone();
    return;
  }
  documentops::run(browser_, insert ? QStringLiteral("insertImage") : QStringLiteral("setImage"),
                   imageArgs(window.fields()), this, [this](const QVariant&) { emit editDone(); });
}

void EditorMenu::showLinksWindow() {
  if (!browser_ || !editing()) return;
  frmLinks window(browser_, browser_->window());
  window.exec();
  if (browser_) browser_->view()->setFocus();
  emit editDone();
}
