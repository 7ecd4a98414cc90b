#pragma once

#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <optional>

#include "editor/device_view.h"
#include "files/file_stamp.h"

class EditSession;
class EditingState;
class QImage;
class QTimer;
class QWebEngineView;
class WebPage;

// The preview and editor: Chromium through QWebEngineView, offering exactly the
// operations the windows use, and the policy of where it may go. Pages come from others and are
// untrusted: they cannot read local files through fetch/XHR, open pop-ups, or leave the preview for
// the web (a clicked web link opens in the default browser).
//
// A document in design mode is never left with unsaved edits unasked: leaving
// it (Navigate2, closing the program) lets its EditSession offer to save
// them, and a save that fails keeps the document and its edits where they are.
// While a save is under way the document takes no input.
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
  // becomes editable, so nothing a script wrote can end up in the file; the
  // user is editing from then on (state()->editing()).
  void setDesignMode(const QString& value);
  void readDesignMode(std::function<void(const QString&)> done) const;

  // What the page is doing: whether the user is editing it, and where the
  // document shown is in its load and its edit. While the user is editing,
  // pages load without their scripts and become editable once parsed.
  EditingState* state() const { return state_; }

  // The root element's markup as the engine holds it now.
  void readMarkup(std::function<void(const QString&)> done) const;

  // The edit of the document shown: saving, discarding, settling edits
  // before a tool rewrites the file, and whether the program may close.
  EditSession* session() const { return session_; }

  QWebEngineView* view() const { return view_; }

  // How the device screen of state()->device() is shown now: its scale and
  // the page's zoom. On the desktop the view fills the browser at zoom 1.
  const deviceview::Fit& deviceFit() const { return fit_; }
  // The whole page as the view shows it now, at the screen's own size: as
  // wide as the device's screen (or the desktop view), as tall as the page
  // (at most kMaxPictureHeight pixels). done gets a null image when the
  // document went meanwhile. The view is as it was afterwards.
  static constexpr int kMaxPictureHeight = 16000;
  void takePicture(std::function<void(const QImage&)> done);
  // The CSS width the page shown is laid out at in the device view.
  int deviceLayoutWidth() const { return layoutWidth_; }

 signals:
  // The document of a successful load is parsed. A load without scripts
  // cannot change its document after this, so it may be edited now, while
  // its images and stylesheets are still on their way.
  void DocumentReady();
  void DownloadComplete();
  // Saving a changed document failed, so it was not left: its edits stay.
  void EditsKept();
  // The device screen was laid out or scaled anew (deviceFit()).
  void DeviceShown();

 private:
  void usePage(WebPage* page);
  // The edit of the document shown ends with it (its copy kept against a
  // crash too, unless keepCopy).
  void forgetDocument(bool keepCopy = false);
  void startLoad(const QUrl& url);
  void loadFinished(bool ok);
  // A page whose renderer already runs, kept for the next load without
  // scripts: an empty document, or the page just viewed loaded the way Edit
  // Page loads it, so that Edit Page finds it parsed already.
  struct Spare {
    QPointer<WebPage> page;
    QUrl url;         // the file it holds; empty: an empty document
    FileStamp stamp;  // of that file as its load began
    bool loaded = false;  // its load of url has ended
    bool ok = false;
    bool waiting = false;  // url is to be loaded once the load before it ends
  };
  // Takes the spare for a load of url without scripts: its page is null when
  // none can take that load, and its url is url when it holds that document.
  Spare takeSpare(const QUrl& url);
  // Started after each load, so that the next Edit Page finds a renderer
  // running; prepared is the file just viewed, to be loaded in it.
  void startSpare(const QUrl& prepared);
  void loadSpare();
  // The page URL of a file, and the file of the document shown: the one
  // place that maps between the two.
  static QUrl urlOf(const QString& path);
  void blockInput(bool blocked);
  bool eventFilter(QObject* watched, QEvent* event) override;
  void openShownPageExternally();
  // Asks the engine whether the document being loaded is parsed yet.
  void pollReady();
  void documentReady();
  // The device view: follows the state's device, the page's viewport tag and
  // the browser's size (web_browser_device.cpp).
  void showDevice();
  void readViewport();
  void placeView();
  void resizeEvent(QResizeEvent* event) override;

  QWebEngineView* view_ = nullptr;
  WebPage* page_ = nullptr;
  Spare spare_;
  EditingState* state_ = nullptr;
  EditSession* session_ = nullptr;

  QTimer* readyPoll_ = nullptr;
  bool askingReady_ = false;  // a question of the poll is on its way
  bool destroying_ = false;
  QString pendingPath_;
  DeviceView shownDevice_;
  // The viewport tag's content of the document shown (nullopt: none).
  std::optional<QString> viewport_;
  int layoutWidth_ = 0;
  deviceview::Fit fit_;
  // A picture is being taken: the view's size is the picture's meanwhile.
  bool picturing_ = false;
  // Widgets whose input is held back while a save is under way.
  QList<QPointer<QWidget>> blocked_;
};
