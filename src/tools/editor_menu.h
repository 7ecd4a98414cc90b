#pragma once

#include <QMenu>  // complete, so that the signal carrying it can be queued and spied on
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
class QPoint;
class WebBrowser;

// The preview's own context menu, the link and picture windows it opens,
// Ctrl+K / Ctrl+Shift+K, and the spelling language. Attached to a browser
// from outside; the engine's own menu (Back, Reload, View Source, ...) is
// never shown.
//
// While the page is edited: spelling suggestions, Cut, Copy, Paste, Paste as
// Plain Text, Undo, Redo, Bold, Italic, Underline, and the link and picture
// entries for what is under the pointer. While viewing: Copy, Select All and
// Open Link in Your Browser, nothing that takes the preview elsewhere.
class EditorMenu final : public QObject {
  Q_OBJECT
 public:
  // Whether the page is being edited is asked of the browser's state.
  explicit EditorMenu(WebBrowser* browser);

  // Ctrl+K: the Link window for the link at the caret, or for a new one
  // over the selection or at the caret.
  void editLinkAtCaret();
  // Ctrl+Shift+K: Links on This Page.
  void showLinksWindow();

  // The spelling dictionaries there are, and the one in use.
  QStringList languages() const { return languages_; }
  QString language() const;
  // The user's choice from the menu; it holds for the rest of the run.
  void chooseLanguage(const QString& language);

 signals:
  // The menu is up (tests and screenshots take it from here).
  void menuShown(QMenu* menu);
  // A link or picture window was closed and its edit, if any, is asked for.
  void editDone();

 private:
  void requested(const QPoint& pos);
  QMenu* viewingMenu();
  QMenu* editingMenu(const QVariantMap& at);
  void openLinkWindow(const QVariantMap& at);
  void openImageWindow(const QVariantMap& image, bool insert);
  void useLanguageOf(const QString& pageLang);
  QString pageFolder() const;

  bool editing() const;

  QPointer<WebBrowser> browser_;
  QStringList languages_;
  QString chosenLanguage_;
  QPointer<QMenu> menu_;
  // What the engine said about the point of the last right-click.
  struct Request {
    QString misspelled;
    QStringList suggestions;
    QString linkUrl;
    QString selectedText;
    int editFlags = 0;
  } request_;
};
