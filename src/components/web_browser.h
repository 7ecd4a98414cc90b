#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "components/msg_box.h"
#include "components/page_text.h"
#include "components/status.h"
#include "components/text_buffer.h"

class QUrl;
class QWebEngineView;
class WebPage;

// The preview and editor: Chromium through QWebEngineView, offering exactly the
// operations the windows use. Pages come from others and are untrusted: they
// cannot read local files through fetch/XHR, open pop-ups, or leave the
// preview for the web (a clicked web link opens in the default browser).
//
// A document in design mode is never left with unsaved edits unasked: leaving
// it (Navigate2, closing the program) offers to save them to the file it came
// from, and a save that fails keeps the document and its edits where they are.
class WebBrowser final : public QWidget {
  Q_OBJECT
 public:
  explicit WebBrowser(QWidget* parent = nullptr);
  ~WebBrowser() override;

  // Silent: the page's own dialogs (alert, confirm, prompt) are suppressed.
  bool Silent() const;
  void setSilent(bool silent);

  // Loads a plain file path; an empty path does nothing. Every load ends with
  // DownloadComplete, also a failed one. When the document shown was changed
  // in design mode, the user is first asked whether to save it; the load
  // waits for the answer and does not happen at all if saving fails.
  void Navigate2(const QString& path);

  // The file path of the document shown now, empty when it is not a file.
  QString LocationPath() const;

  // "On" makes the whole document editable in place, "off" read-only again.
  // A document whose scripts ran is loaded again without them before it
  // becomes editable, so nothing a script wrote can end up in the file.
  void setDesignMode(const QString& value);
  void readDesignMode(std::function<void(const QString&)> done) const;

  // Whether the page's own scripts run in the documents loaded from now on.
  void setPageScripts(bool on);
  bool pageScripts() const { return pageScripts_; }

  // The root element's markup as the engine holds it now.
  void readMarkup(std::function<void(const QString&)> done) const;

  // The shown document as its file should hold it: the file's own doctype,
  // the root element's markup with every edit, in the page's charset.
  using PageTextDone = std::function<void(const Status&, const TextBuffer&)>;
  void readPageText(PageTextDone done);

  // How the last save of the edits was written: only the edited stretches
  // put into the file's own bytes, or the whole page (and why).
  struct SaveWay {
    bool minimal = false;
    QString why;
  };
  const SaveWay& lastSaveWay() const { return lastSaveWay_; }

  // Whether the shown document was changed since it became editable.
  void readChanged(std::function<void(bool)> done) const;
  // The user has saved or discarded the edits: leaving asks nothing now.
  void forgetEdits();

  // Before another window rewrites a page's file: edits made in the editor
  // are first saved (Save), dropped (Discard) or the rewrite is called off
  // (Cancel), so that neither the edits nor the rewrite silently overwrite the
  // other. done(true) means go on; it runs at once when nothing is edited.
  void settleEdits(std::function<void(bool proceed)> done);
  // Whether the document shown has been made editable since it was loaded.
  bool editing() const { return tracked_; }

  // Closing the program: true when the document may go now. Otherwise the
  // user is asked (Save, Discard, Cancel) and closeAgain runs once it may go.
  bool readyToClose(std::function<void()> closeAgain);

  QWebEngineView* view() const { return view_; }

  // Where clicked web links go; the default opens the system's browser.
  using UrlOpener = std::function<void(const QUrl&)>;
  static void setExternalOpener(UrlOpener opener);
  static void openExternally(const QUrl& url);

 signals:
  void DownloadComplete();
  // Saving a changed document failed, so it was not left: its edits stay.
  void EditsKept();

 private:
  enum class Leave { Go, Stay };
  void usePage(WebPage* page);
  // What was known of the shown document, once it is replaced.
  void forgetDocument();
  void startLoad(const QUrl& url, bool scripts);
  void offerSave(MsgButtons buttons, std::function<void(Leave)> done);
  void saveTo(const QString& path, std::function<void(bool saved)> done);
  using DocumentDone =
      std::function<void(const Status&, const QString& markup, const QString& charset)>;
  void readDocument(DocumentDone done);
  bool changedOnDisk(const QString& path) const;
  void writeEdits(const QString& path, const QString& markup, const QString& charset,
                  std::function<void(bool saved)> done);
  void writeBytes(const QString& path, const QByteArray& bytes, const QString& markup, SaveWay way,
                  std::function<void(bool saved)> done);
  const pagetext::FileTraits& fileTraits();
  void openShownPageExternally();

  QWebEngineView* view_ = nullptr;
  WebPage* page_ = nullptr;

  bool pageScripts_ = true;
  bool documentScripts_ = true;  // whether scripts ran in the document shown
  bool documentOk_ = false;      // a page file was loaded (not an error page)
  bool tracked_ = false;         // edits of the shown document are watched
  bool designAfterLoad_ = false;
  bool leaving_ = false;  // a question or save for the shown document is under way
  bool closeApproved_ = false;
  bool destroying_ = false;
  QString pendingPath_;
  QString editedPath_;  // the file the document being edited came from
  std::optional<pagetext::FileTraits> traits_;
  // What editing began from: the file's bytes and the engine's markup of
  // them, so that a save can change only what the user changed.
  std::optional<QByteArray> fileBytes_;
  std::optional<QString> markupBefore_;
  QString charsetBefore_;
  int editSession_ = 0;
  SaveWay lastSaveWay_;
};
