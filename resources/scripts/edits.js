// Design mode and whether the document was changed since it became editable.
(function () {
  'use strict';
  var qv = window.__qv = window.__qv || {};
  if (qv.enterDesignMode) return;  // put in twice: the first copy stays
  var edits = null;

  // Any change to the document after it became editable marks it changed:
  // typing, pasting, undo, bold and the like all change the DOM.
  qv.enterDesignMode = function () {
    if (!edits) {
      edits = { changed: false };
      new MutationObserver(function () { edits.changed = true; }).observe(document,
          { subtree: true, childList: true, attributes: true, characterData: true });
    }
    document.designMode = 'On';
  };
  qv.leaveDesignMode = function () {
    document.designMode = 'off';
  };
  qv.designMode = function () {
    return document.designMode;
  };
  qv.changed = function () {
    return !!(edits && edits.changed);
  };
  qv.forgetChanges = function () {
    if (edits) edits.changed = false;
  };
  // What is saved is read with the document no longer editable, so nothing
  // typed from now on can land in the document without landing in the file.
  qv.freezeAndRead = function () {
    document.designMode = 'off';
    return qv.page();
  };
})();
