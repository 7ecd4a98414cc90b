// The document's markup, read again only where it changed: what is kept
// against a crash once a second while the user types. Each element's markup
// from the last read is kept, and a change marks the element it happened in
// and every element around it; typing in one paragraph of a big page then
// costs that paragraph and the joins above it, not the whole page. A read
// also says where the markup changed since the last one (the pieces read
// again that differ, children put in or taken out), so that only that
// stretch is sent, never compared or copied whole.
(function () {
  'use strict';
  var qv = window.__qv = window.__qv || {};
  if (qv.keptMarkup) return;  // put in twice: the first copy stays

  var kept = new WeakMap();  // node -> its markup at the last read, while it can be trusted
  var seen = new WeakMap();  // node -> its markup at the last read
  var parts = new WeakMap();  // element read in pieces last -> its tags and child nodes then
  var stale = new WeakSet();  // changed since, with every element around it
  var moved = new WeakSet();  // put in since: it may have changed while out, unseen
  var observer = null;
  var inert = null;
  var unkept = 0;  // elements read whole that may change unseen: what holds one is never kept
  // Where this read differs from the last one, in the new markup: everything
  // before first and from last on is the same. Null when nobody asks.
  var span = null;
  var reads = 0;  // how many reads changed what the last one is
  // Elements whose content is not written as markup of their children, or
  // not seen by the observer (a template's content): always read whole.
  var WHOLE = /^(script|style|xmp|iframe|noembed|noframes|plaintext|noscript|template|textarea|title)$/;

  function note(records) {
    records.forEach(function (r) {
      for (var n = r.target; n && !stale.has(n); n = n.parentNode) stale.add(n);
      if (r.type === 'childList') {
        for (var i = 0; i < r.addedNodes.length; ++i) moved.add(r.addedNodes[i]);
      }
    });
  }

  // While a read marks changes: each piece the whole is joined from, at its
  // offset, so the changed stretch is taken from them without the engine
  // copying the whole joined markup into one string.
  var laid = null;
  function lay(at, piece) {
    if (laid && piece.length) {
      laid.at.push(at);
      laid.pieces.push(piece);
    }
  }

  function mark(from, to) {
    if (!span) return;
    if (from < span.first) span.first = from;
    if (to > span.last) span.last = to;
  }

  // The start and end tags as the engine writes them, from a copy without
  // children made in a document that loads and runs nothing.
  // Elements with few inside are read whole: one call to the engine costs
  // less than taking them apart.
  function readInPieces(el) {
    if (!el.firstElementChild || WHOLE.test(el.localName)) return false;
    // Counted up to the limit only: a big page's body holds thousands.
    var count = 0, n = el.firstElementChild;
    while (n && n !== el) {
      if (++count > 16) return true;
      if (n.firstElementChild) {
        n = n.firstElementChild;
        continue;
      }
      while (n !== el && !n.nextElementSibling) n = n.parentElement;
      if (n !== el) n = n.nextElementSibling;
    }
    return false;
  }

  function tagsOf(el) {
    inert = inert || document.implementation.createHTMLDocument('');
    var shallow = inert.importNode(el, false).outerHTML;
    var end = shallow.lastIndexOf('</');
    return end < 0 ? null : [shallow.slice(0, end), shallow.slice(end)];
  }

  function textOf(data) {
    return data.replace(/[&<>\u00a0]/g, function (c) {
      return c === '&' ? '&amp;' : c === '<' ? '&lt;' : c === '>' ? '&gt;' : '&nbsp;';
    });
  }

  function leafMarkup(node) {
    switch (node.nodeType) {
      case Node.TEXT_NODE: return textOf(node.data);
      case Node.COMMENT_NODE: return '<!--' + node.data + '-->';
      case Node.PROCESSING_INSTRUCTION_NODE: return '<?' + node.target + ' ' + node.data + '>';
      case Node.CDATA_SECTION_NODE: return '<![CDATA[' + node.data + ']]>';
      default: return '';
    }
  }

  function trusted(node, trust) {
    return trust && !stale.has(node) && !moved.has(node) && kept.has(node);
  }

  // A node read at offset at of the whole: what changed since it was last
  // read is marked, where a node read fresh differs from its last markup.
  // An element read in pieces marked its changes inside: comparing the whole
  // with its last markup would cost what reading in pieces saves.
  function settle(node, out, at, keep, inside) {
    if (!inside && seen.get(node) !== out) mark(at, at + out.length);
    seen.set(node, out);
    if (keep) kept.set(node, out);
    else kept.delete(node);
    return out;
  }

  function nodeMarkup(node, trust, at) {
    if (node.nodeType === Node.ELEMENT_NODE) return elementMarkup(node, trust, at);
    if (trusted(node, trust)) return kept.get(node);
    return settle(node, leafMarkup(node), at, true);
  }

  function elementMarkup(el, trust, at) {
    if (trusted(el, trust)) return kept.get(el);
    var tags = readInPieces(el) ? tagsOf(el) : null;
    var seenBefore = unkept, out;
    if (!tags) {
      out = el.outerHTML;
      parts.delete(el);
    } else {
      // Its children are trusted only as read in pieces last time: a child
      // inside an element read whole may have changed unseen since.
      var before = parts.get(el);
      // Never read before: only read ahead, its children as they are now.
      var first = !seen.has(el);
      var inner = trust && !moved.has(el) && (before !== undefined || first);
      var diffed = inner && before !== undefined;
      var old = diffed ? before.kids : [], kids = [], j = 0, lost = !diffed;
      var gone = function (n) { return n.parentNode !== el || moved.has(n); };
      // Joined by +: the engine keeps the pieces and copies them once, when
      // the whole is sent.
      out = tags[0];
      lay(at, tags[0]);
      if (diffed && before.tags[0] !== tags[0]) mark(at, at + tags[0].length);
      var pos = at + tags[0].length;
      for (var n = el.firstChild; n; n = n.nextSibling) {
        // Children taken out since: a change of nothing, here.
        for (; j < old.length && gone(old[j]); ++j) mark(pos, pos);
        var put = moved.has(n);
        if (!put && j < old.length && old[j] === n) ++j;
        else if (!put) lost = true;  // not where it was: the order changed unseen
        var laidBefore = laid && laid.at.length;
        var piece = nodeMarkup(n, inner, pos);
        // An element read in pieces laid its own.
        if (laid && laid.at.length === laidBefore) lay(pos, piece);
        if (put) mark(pos, pos + piece.length);
        out += piece;
        pos += piece.length;
        kids.push(n);
      }
      for (; j < old.length; ++j) {
        if (gone(old[j])) mark(pos, pos);
        else lost = true;
      }
      if (diffed && before.tags[1] !== tags[1]) mark(pos, pos + tags[1].length);
      lay(pos, tags[1]);
      out += tags[1];
      if (lost) mark(at, at + out.length);
      parts.set(el, { tags: tags, kids: kids });
    }
    // A template's content changes unseen by the observer.
    if (el.localName === 'template' ||
        (!tags && el.firstElementChild && el.getElementsByTagName('template').length)) {
      ++unkept;
    }
    return settle(el, out, at, unkept === seenBefore, tags !== null);
  }

  function observe() {
    if (observer) {
      note(observer.takeRecords());
      return;
    }
    observer = new MutationObserver(note);
    observer.observe(document, { subtree: true, childList: true, attributes: true,
                                 characterData: true });
  }

  // The markup from offset from to offset to, out of the pieces laid.
  function stretchOf(from, to) {
    var at = laid.at, pieces = laid.pieces, lo = 0, hi = at.length - 1;
    while (lo < hi) {  // the last piece starting at or before from
      var mid = (lo + hi + 1) >> 1;
      if (at[mid] <= from) lo = mid;
      else hi = mid - 1;
    }
    var out = '';
    for (var i = lo; i < at.length && at[i] < to; ++i) {
      var end = at[i] + pieces[i].length;
      if (end > from) out += pieces[i].slice(Math.max(from - at[i], 0), Math.min(to, end) - at[i]);
    }
    return out;
  }

  // Equal to document.documentElement.outerHTML. With changes: also the
  // stretch where it differs from the last read, [from, to) of it, and the
  // text there; never between the two halves of a character (each side is
  // sent as text).
  qv.keptMarkup = function (changes) {
    var root = document.documentElement;
    if (!root) return changes ? { markup: '', from: 0, to: 0, text: '' } : '';
    observe();
    ++reads;
    span = changes ? { first: Infinity, last: -1 } : null;
    laid = changes ? { at: [], pieces: [] } : null;
    var out = elementMarkup(root, true, 0);
    if (laid && !laid.at.length) lay(0, out);  // read whole: one piece
    var found = span;
    span = null;
    stale = new WeakSet();
    moved = new WeakSet();
    if (!changes) return out;
    var from = found.first, to = found.last;
    if (from > to) from = to = 0;
    if (from > 0 && /[\ud800-\udbff]/.test(stretchOf(from - 1, from))) --from;
    if (to < out.length && /[\udc00-\udfff]/.test(stretchOf(to, to + 1))) ++to;
    var text = stretchOf(from, to);
    laid = null;
    return { markup: out, from: from, to: to, text: text };
  };
  // Changes are marked against the read before: a caller that keeps the
  // markup of its own last read asks whether another read came since.
  qv.keptReads = function () {
    return reads;
  };

  // Reads the document ahead, a few milliseconds a call, so that the first
  // keeping does not stall the page for a read of all of it. Called until it
  // answers true; what is inside an element is read before the element.
  var ahead = null;
  qv.prepareKeptMarkup = function () {
    var root = document.documentElement;
    if (!root) return true;
    observe();
    if (!ahead || ahead.root !== root) {
      var order = [], todo = [root];
      while (todo.length) {
        var el = todo.pop();
        order.push(el);
        if (!readInPieces(el)) continue;
        for (var c = el.firstElementChild; c; c = c.nextElementSibling) todo.push(c);
      }
      ahead = { root: root, order: order, next: order.length - 1 };
    }
    ++reads;
    var until = performance.now() + 8;
    while (ahead.next >= 0 && performance.now() < until) elementMarkup(ahead.order[ahead.next--], true, 0);
    return ahead.next < 0;
  };
})();
