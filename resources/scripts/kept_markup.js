// The document's markup, read again only where it changed: what is kept
// against a crash once a second while the user types. Each element's markup
// from the last read is kept, and a change marks the element it happened in
// and every element around it; typing in one paragraph of a big page then
// costs that paragraph and the joins above it, not the whole page.
(function () {
  'use strict';
  var qv = window.__qv = window.__qv || {};
  if (qv.keptMarkup) return;  // put in twice: the first copy stays

  var kept = new WeakMap();  // element -> its markup at the last read
  var stale = new WeakSet();  // changed since, with every element around it
  var moved = new WeakSet();  // put in since: it may have changed while out, unseen
  var observer = null;
  var inert = null;
  var unkept = 0;  // elements read whole that may change unseen: what holds one is never kept
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

  // The start and end tags as the engine writes them, from a copy without
  // children made in a document that loads and runs nothing.
  // Elements with few inside are read whole: one call to the engine costs
  // less than taking them apart.
  function readInPieces(el) {
    return el.firstElementChild && !WHOLE.test(el.localName) &&
        el.getElementsByTagName('*').length > 16;
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

  function nodeMarkup(node, trust) {
    switch (node.nodeType) {
      case Node.ELEMENT_NODE: return elementMarkup(node, trust);
      case Node.TEXT_NODE: return textOf(node.data);
      case Node.COMMENT_NODE: return '<!--' + node.data + '-->';
      case Node.PROCESSING_INSTRUCTION_NODE: return '<?' + node.target + ' ' + node.data + '>';
      case Node.CDATA_SECTION_NODE: return '<![CDATA[' + node.data + ']]>';
      default: return '';
    }
  }

  function elementMarkup(el, trust) {
    if (trust && !stale.has(el) && !moved.has(el) && kept.has(el)) return kept.get(el);
    var tags = readInPieces(el) ? tagsOf(el) : null;
    var seen = unkept, out;
    if (!tags) {
      out = el.outerHTML;
      // What is inside was not read: its markup kept from before may be
      // old now, and is trusted no more once this element is read in pieces.
      if (el.firstElementChild) {
        var inside = el.getElementsByTagName('*');
        for (var i = 0; i < inside.length; ++i) kept.delete(inside[i]);
      }
    } else {
      // Joined by +: the engine keeps the pieces and copies them once, when
      // the whole is sent.
      var inner = trust && !moved.has(el);
      out = tags[0];
      for (var n = el.firstChild; n; n = n.nextSibling) out += nodeMarkup(n, inner);
      out += tags[1];
    }
    // A template's content changes unseen by the observer.
    if (el.localName === 'template' ||
        (!tags && el.firstElementChild && el.getElementsByTagName('template').length)) {
      ++unkept;
    }
    if (unkept === seen) kept.set(el, out);
    return out;
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

  // Equal to document.documentElement.outerHTML.
  qv.keptMarkup = function () {
    var root = document.documentElement;
    if (!root) return '';
    observe();
    var out = elementMarkup(root, true);
    stale = new WeakSet();
    moved = new WeakSet();
    return out;
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
    var until = performance.now() + 8;
    while (ahead.next >= 0 && performance.now() < until) elementMarkup(ahead.order[ahead.next--], true);
    return ahead.next < 0;
  };
})();
