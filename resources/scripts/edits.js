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
      // texts: each text node changed in place, with what it held first.
      edits = { changed: false, count: 0, texts: new Map() };
      new MutationObserver(function (list) {
        edits.changed = true;
        ++edits.count;
        list.forEach(function (m) {
          if (m.type === 'characterData' && !edits.texts.has(m.target))
            edits.texts.set(m.target, m.oldValue);
        });
      }).observe(document, { subtree: true, childList: true, attributes: true,
                             characterData: true, characterDataOldValue: true });
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
  // The document, when it changed since the count the caller last had: what
  // is kept against a crash. Reading it costs the renderer a serialisation,
  // so an unchanged document is not read; ms says what the read took.
  // A caller that has the document as last sent gets only the stretch that
  // changed in it (from, to: where in what it has; text: what goes there),
  // so its thread receives a few bytes, not the page, while the user types.
  var sentLength = null, sentCount = null, sentRead = null;
  qv.editsSince = function (count) {
    if (!edits || edits.count === count) return null;
    var at = performance.now();
    var since = sentLength !== null && count === sentCount && qv.keptReads() === sentRead;
    var read = qv.keptMarkup(true), markup = read.markup;
    var answer = { count: edits.count };
    if (since) {
      answer.base = sentLength;
      answer.from = read.from;
      answer.to = sentLength - (markup.length - read.to);
      answer.text = read.text;
    } else {
      answer.markup = markup;
    }
    sentLength = markup.length;
    sentCount = edits.count;
    sentRead = qv.keptReads();
    answer.ms = performance.now() - at;
    return answer;
  };
  // Puts the document of an edit kept from an earlier run in place of the
  // one loaded from the file. It is parsed as an inert document: nothing in
  // it runs or loads while it is parsed.
  qv.restoreMarkup = function (markup) {
    var doc = new DOMParser().parseFromString(markup, 'text/html');
    var root = document.importNode(doc.documentElement, true);
    document.replaceChild(root, document.documentElement);
    return qv.markup();
  };
  // The editor turns the author's no-break spaces next to typed text into
  // plain ones where a plain one shows the same. Outside what was typed,
  // such a space becomes the author's again, so the file keeps its &nbsp;:
  // only between two characters that are no white space, where both look
  // alike. Text the editor moved into new nodes is left as it is.
  var NBSP = '\u00a0';
  function blank(c) { return c === ' ' || c === '\t' || c === '\n' || c === '\r' || c === '\f'; }
  function alike(a, b) { return a === b || (a === NBSP && b === ' ') || (a === ' ' && b === NBSP); }
  function keepAuthorSpaces() {
    edits.texts.forEach(function (old, node) {
      var now = node.data;
      if (!node.isConnected || old === null || old === now || old.indexOf(NBSP) < 0) return;
      var chars = now.split(''), n = now.length, o = old.length, p = 0, s = 0;
      while (p < n && p < o && alike(old[p], now[p])) ++p;
      while (s < n - p && s < o - p && alike(old[o - 1 - s], now[n - 1 - s])) ++s;
      function back(i, j) {
        if (old[i] === NBSP && now[j] === ' ' && j > 0 && j < n - 1 &&
            !blank(now[j - 1]) && !blank(now[j + 1])) chars[j] = NBSP;
      }
      for (var i = 0; i < p; ++i) back(i, i);
      for (var k = 0; k < s; ++k) back(o - 1 - k, n - 1 - k);
      var kept = chars.join('');
      if (kept !== now) node.data = kept;
    });
  }
  // What is saved is read with the document no longer editable, so nothing
  // typed from now on can land in the document without landing in the file.
  qv.freezeAndRead = function () {
    document.designMode = 'off';
    if (edits) keepAuthorSpaces();
    return qv.page();
  };
})();
