#include "editor/editing_state.h"

void EditingState::setEditing(bool editing) {
  if (editing_ == editing) return;
  editing_ = editing;
  emit changed();
}

void EditingState::setView(View view) {
  if (view_ == view) return;
  view_ = view;
  emit changed();
}

void EditingState::setPhase(Phase phase) {
  if (phase_ == phase) return;
  phase_ = phase;
  emit changed();
}

void EditingState::setDevice(const DeviceView& device) {
  if (device_ == device) return;
  device_ = device;
  emit changed();
}

void EditingState::loadStarted(const QUrl& url, bool scripts) {
  ++load_;
  url_ = url;
  scripts_ = scripts;
  stage_ = Stage::Loading;
  // Whatever it held goes with the document it replaces.
  phase_ = scripts ? Phase::Viewing : Phase::Opening;
  emit changed();
}

void EditingState::documentReplaced() {
  // Started by the engine (the page's own navigation, a refresh): scripts
  // run in it as they did in the document it replaces.
  url_ = QUrl();
  stage_ = Stage::Loading;
  phase_ = scripts_ ? Phase::Viewing : Phase::Opening;
  emit changed();
}

void EditingState::documentParsed() {
  stage_ = Stage::Parsed;
  emit changed();
}

void EditingState::loadEnded(bool ok) {
  stage_ = ok ? Stage::Loaded : Stage::Failed;
  emit changed();
}

void EditingState::documentLost() {
  stage_ = Stage::Failed;
  phase_ = Phase::Viewing;
  emit changed();
}
