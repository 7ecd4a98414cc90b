#pragma once

#include <QObject>
#include <QUrl>

#include "editor/device_view.h"

// What the page is doing, said in one place. The edit button's caption, the
// controls that wait while a page is edited, whether the page's own scripts
// run, and whether the document shown may be left unasked are all read from
// here, and every change is announced by changed().
//
// Three things are held: whether the user is editing (from "Edit Page" until
// "Save / Discard Changes"), where the document shown is in its life (its
// load, and the edit it holds), and the screen it is laid out for.
class EditingState final : public QObject {
  Q_OBJECT
 public:
  enum class Phase {
    Viewing,   // shown as its visitors see it (or nothing is shown)
    Opening,   // being loaded without its scripts, to be edited
    Editable,  // takes typing; its edits are not saved yet
    Asking,    // the user is being asked whether to save its edits
    Saving,    // its edits are being written; it takes no input
  };

  // How far the document shown has come.
  enum class Stage {
    None,     // nothing asked for yet, or the document is gone
    Loading,  // its load is under way
    Parsed,   // its markup is whole (a load without scripts cannot change it now)
    Loaded,   // its load ended
    Failed,   // no file's document: an error page, a note, a dead renderer
  };

  // What the main window shows of the current page: the page, its code
  // (the file's bytes, see editor/code_view.h), or both side by side.
  enum class View { Page, Code, Split };

  explicit EditingState(QObject* parent = nullptr) : QObject(parent) {}

  View view() const { return view_; }
  // The code is shown (alone or beside the page): it is what takes edits.
  bool codeShown() const { return view_ != View::Page; }
  void setView(View view);

  // The user's side: true from "Edit Page" until "Save / Discard Changes",
  // and again when a save fails and the edits stay.
  bool editing() const { return editing_; }
  void setEditing(bool editing);

  Phase phase() const { return phase_; }
  // The document shown was made editable and has not been left: leaving it
  // asks first, and its own navigations are refused.
  bool holdsEdit() const { return phase_ >= Phase::Editable; }
  // A question or a save is under way: a second request must not start one.
  bool busy() const { return phase_ == Phase::Asking || phase_ == Phase::Saving; }
  void setPhase(Phase phase);

  // Whether the page's own scripts run in the next document loaded: never
  // while the page is edited, so nothing a script writes reaches the file.
  bool pageScripts() const { return !editing_; }

  // The screen the page is laid out for: the desktop or a device's. It
  // changes only how the page is shown, never the document or its edit.
  const DeviceView& device() const { return device_; }
  void setDevice(const DeviceView& device);

  // The load of the document shown: the latest one asked for.
  int load() const { return load_; }
  const QUrl& url() const { return url_; }
  bool scriptsRan() const { return scripts_; }
  Stage stage() const { return stage_; }
  // A file's document is shown (parsed or loaded), not an error page.
  bool documentOk() const { return stage_ == Stage::Parsed || stage_ == Stage::Loaded; }

  // The document shown is replaced: by a load the program asked for (url, and
  // whether scripts run in it), or by one the engine started (url unknown).
  void loadStarted(const QUrl& url, bool scripts);
  void documentReplaced();
  void documentParsed();
  void loadEnded(bool ok);
  // The document shown is gone and nothing of it may be saved.
  void documentLost();

 signals:
  void changed();

 private:
  bool editing_ = false;
  View view_ = View::Page;
  Phase phase_ = Phase::Viewing;
  int load_ = 0;
  QUrl url_;
  bool scripts_ = true;
  Stage stage_ = Stage::None;
  DeviceView device_;
};
