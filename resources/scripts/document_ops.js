// Link and picture edits in the document being edited (see document_ops.h for
// the operations). The engine's own link, unlink and insert commands rebuild
// the elements they touch and turn the blanks next to them into &nbsp;, which
// would rewrite bytes the user never touched. These edits change the nodes
// directly instead, and join the editor's undo: an undo or redo the user asks
// for is ours when the document is exactly as our last edit left it.
(function () {
  'use strict';
  var qv = window.__qv = window.__qv || {};
  if (qv.op) return;  // put in twice: the first copy stays
  var done = [], undone = [];
  var saved = { link: null, image: null, range: null };
  function markup() { return qv.markup(); }
  function record(op) { done.push({ op: op, after: markup() }); undone = []; }
  function perform(op) { op.apply(); record(op); }
  function undoOurs() {
    var top = done[done.length - 1];
    if (!top || markup() !== top.after) return false;
    done.pop(); top.op.revert(); undone.push({ op: top.op, before: markup() });
    return true;
  }
  function redoOurs() {
    var top = undone[undone.length - 1];
    if (!top || markup() !== top.before) return false;
    undone.pop(); top.op.apply(); done.push({ op: top.op, after: markup() });
    return true;
  }
  document.addEventListener('beforeinput', function (e) {
    var ours = e.inputType === 'historyUndo' ? undoOurs()
             : e.inputType === 'historyRedo' ? redoOurs() : false;
    if (ours) e.preventDefault();
  }, true);
  document.addEventListener('input', function (e) {
    if (e.inputType !== 'historyUndo' && e.inputType !== 'historyRedo') undone = [];
  }, true);

  function setAttr(el, name, value) {
    if (value === null) el.removeAttribute(name); else el.setAttribute(name, value);
  }
  function attrOp(changes) {
    var olds = changes.map(function (c) { return c.el.getAttribute(c.name); });
    return {
      apply: function () { changes.forEach(function (c) { setAttr(c.el, c.name, c.value); }); },
      revert: function () {
        for (var i = changes.length - 1; i >= 0; --i) setAttr(changes[i].el, changes[i].name, olds[i]);
      }
    };
  }
  function childrenOp(el, nodes) {
    var olds = Array.prototype.slice.call(el.childNodes);
    return {
      apply: function () { el.replaceChildren.apply(el, nodes); },
      revert: function () { el.replaceChildren.apply(el, olds); }
    };
  }
  function both(a, b) {
    return { apply: function () { a.apply(); b.apply(); },
             revert: function () { b.revert(); a.revert(); } };
  }
  // Takes el out and leaves its children where it was.
  function unwrapOp(el) {
    var parent = el.parentNode, kids = Array.prototype.slice.call(el.childNodes);
    var next = el.nextSibling;
    return {
      apply: function () {
        next = el.nextSibling;
        kids.forEach(function (k) { parent.insertBefore(k, el); });
        parent.removeChild(el);
      },
      revert: function () {
        parent.insertBefore(el, kids.length ? kids[0] : next);
        kids.forEach(function (k) { el.appendChild(k); });
      }
    };
  }
  function inverse(op) { return { apply: op.revert, revert: op.apply }; }
  // node was just put in place; undo takes it out, redo puts it back there.
  function placedOp(node) {
    var parent = node.parentNode, next = node.nextSibling;
    return {
      apply: function () { parent.insertBefore(node, next); },
      revert: function () { parent.removeChild(node); }
    };
  }

  function linkInfo(a) {
    return { href: a.getAttribute('href') || '', text: a.textContent,
             hasImage: !!a.querySelector('img'), newTab: a.getAttribute('target') === '_blank' };
  }
  function imageInfo(img) {
    return { src: img.getAttribute('src') || '', alt: img.getAttribute('alt') || '',
             width: img.getAttribute('width') || '', height: img.getAttribute('height') || '' };
  }
  function elementOf(node) {
    return !node ? null : node.nodeType === 1 ? node : node.parentElement;
  }
  function keepSelection() {
    var sel = getSelection();
    saved.range = sel.rangeCount ? sel.getRangeAt(0).cloneRange() : null;
    return sel.toString();
  }
  function describe(el, selection) {
    saved.link = el && el.closest ? el.closest('a[href]') : null;
    saved.image = el && el.tagName === 'IMG' ? el : null;
    return { link: saved.link ? linkInfo(saved.link) : null,
             image: saved.image ? imageInfo(saved.image) : null,
             selection: selection,
             lang: document.documentElement ? document.documentElement.lang : '' };
  }
  function newTabChanges(a, newTab) {
    var target = a.getAttribute('target'), rel = a.getAttribute('rel');
    var tokens = (rel || '').split(/\s+/).filter(Boolean), changes = [];
    if (newTab) {
      if (target !== '_blank') changes.push({ el: a, name: 'target', value: '_blank' });
      if (tokens.indexOf('noopener') < 0)
        changes.push({ el: a, name: 'rel', value: tokens.concat(['noopener']).join(' ') });
    } else if (target === '_blank') {
      changes.push({ el: a, name: 'target', value: null });
      var kept = tokens.filter(function (t) { return t !== 'noopener'; });
      if (kept.length !== tokens.length)
        changes.push({ el: a, name: 'rel', value: kept.length ? kept.join(' ') : null });
    }
    return changes;
  }
  function linksTo(href) {
    return Array.prototype.filter.call(document.querySelectorAll('a[href]'),
        function (a) { return a.getAttribute('href') === href; });
  }
  function imageAttrs(img, src, alt, width, height) {
    var changes = [];
    function want(name, value, dropWhenEmpty) {
      var cur = img.getAttribute(name);
      var next = value === '' && (dropWhenEmpty || cur === null) ? null : value;
      if (next !== cur) changes.push({ el: img, name: name, value: next });
    }
    want('src', src, false); want('alt', alt, false);
    want('width', width, true); want('height', height, true);
    return changes;
  }

  var api = {
    at: function (x, y) {
      var selection = keepSelection();
      return describe(document.elementFromPoint(x, y), selection);
    },
    caret: function () {
      var selection = keepSelection();
      var r = saved.range;
      var el = r ? elementOf(r.commonAncestorContainer) : null;
      if (r && !r.collapsed && r.startContainer === r.endContainer && r.startContainer.nodeType === 1
          && r.endOffset - r.startOffset === 1 && r.startContainer.childNodes[r.startOffset].tagName === 'IMG')
        el = r.startContainer.childNodes[r.startOffset];
      return describe(el, selection);
    },
    setLink: function (href, text, newTab) {
      var a = saved.link;
      if (!a || !a.isConnected) return false;
      // null: the tab was left as the page had it, and so are target and rel.
      var changes = newTab === null ? [] : newTabChanges(a, newTab);
      if (a.getAttribute('href') !== href) changes.unshift({ el: a, name: 'href', value: href });
      var op = changes.length ? attrOp(changes) : null;
      if (text !== null && text !== a.textContent) {
        var t = childrenOp(a, [document.createTextNode(text)]);
        op = op ? both(op, t) : t;
      }
      if (op) perform(op);
      return !!op;
    },
    remove: function () {
      var a = saved.link;
      if (!a || !a.isConnected) return false;
      perform(unwrapOp(a));
      return true;
    },
    make: function (href, text, newTab) {
      var r = saved.range;
      if (!r) return false;
      var a = document.createElement('a');
      a.setAttribute('href', href);
      newTabChanges(a, newTab).forEach(function (c) { setAttr(a, c.name, c.value); });
      if (r.collapsed) {
        a.textContent = text || href;
        r.insertNode(a);
        record(placedOp(a));
        return true;
      }
      // A link inside a link is no valid page: links the selection touches
      // give way first (their text stays), then the new one is made.
      var crossed = Array.prototype.filter.call(document.querySelectorAll('a[href]'),
          function (l) { return r.intersectsNode(l); });
      if (!crossed.length) {
        try {
          r.surroundContents(a);
          record(inverse(unwrapOp(a)));
          return true;
        } catch (e) {
          // The selection crosses elements: the engine's own command splits them.
        }
      } else {
        var ops = crossed.map(unwrapOp);
        perform({ apply: function () { ops.forEach(function (o) { o.apply(); }); },
                  revert: function () {
                    for (var i = ops.length - 1; i >= 0; --i) ops[i].revert();
                  } });
      }
      var sel = getSelection();
      sel.removeAllRanges(); sel.addRange(r);
      document.execCommand('createLink', false, href);
      if (newTab) {
        var made = linksTo(href).filter(function (l) { return sel.containsNode(l, true); });
        var changes = [];
        made.forEach(function (l) { changes = changes.concat(newTabChanges(l, true)); });
        if (changes.length) perform(attrOp(changes));
      }
      return true;
    },
    links: function () {
      var map = new Map();
      document.querySelectorAll('a[href]').forEach(function (a) {
        var href = a.getAttribute('href'), entry = map.get(href);
        if (!entry) {
          var img = a.querySelector('img'), text = a.textContent.replace(/\s+/g, ' ').trim();
          if (!text && img) text = img.getAttribute('alt') || '(picture)';
          entry = { href: href, count: 0, text: text };
          map.set(href, entry);
        }
        entry.count++;
      });
      return Array.from(map.values());
    },
    show: function (href) {
      var found = linksTo(href);
      if (!found.length) return 0;
      var r = document.createRange(), sel = getSelection();
      r.selectNodeContents(found[0]);
      sel.removeAllRanges(); sel.addRange(r);
      found[0].scrollIntoView({ block: 'center' });
      return found.length;
    },
    replace: function (oldHref, newHref) {
      var found = linksTo(oldHref);
      if (!found.length || oldHref === newHref) return 0;
      perform(attrOp(found.map(function (a) { return { el: a, name: 'href', value: newHref }; })));
      return found.length;
    },
    setImage: function (src, alt, width, height) {
      var img = saved.image;
      if (!img || !img.isConnected) return false;
      var changes = imageAttrs(img, src, alt, width, height);
      if (changes.length) perform(attrOp(changes));
      return changes.length > 0;
    },
    insertImage: function (src, alt, width, height) {
      var r = saved.range;
      if (!r) {
        r = document.createRange();
        r.selectNodeContents(document.body || document.documentElement);
      }
      r = r.cloneRange();
      r.collapse(false);
      var img = document.createElement('img');
      attrOp(imageAttrs(img, src, alt, width, height)).apply();
      r.insertNode(img);
      record(placedOp(img));
      return true;
    },
    insertHtml: function (html) {
      // At the caret (the end of a selection), else at the end of the page.
      var sel = getSelection();
      var r = sel.rangeCount ? sel.getRangeAt(0).cloneRange() : null;
      if (!r) {
        r = document.createRange();
        r.selectNodeContents(document.body || document.documentElement);
      }
      r.collapse(false);
      // Parsed inert: nothing of it runs while it is put in.
      var t = document.createElement('template');
      t.innerHTML = html;
      var nodes = Array.prototype.slice.call(t.content.childNodes);
      if (!nodes.length) return false;
      var frag = document.createDocumentFragment();
      nodes.forEach(function (n) { frag.appendChild(n); });
      r.insertNode(frag);
      var parent = nodes[0].parentNode, next = nodes[nodes.length - 1].nextSibling;
      record({ apply: function () { nodes.forEach(function (n) { parent.insertBefore(n, next); }); },
               revert: function () {
                 nodes.forEach(function (n) { if (n.parentNode) n.parentNode.removeChild(n); });
               } });
      var after = document.createRange();
      after.setStartAfter(nodes[nodes.length - 1]);
      sel.removeAllRanges(); sel.addRange(after);
      return true;
    },
    undo: function () { if (!undoOurs()) document.execCommand('undo'); return true; },
    redo: function () { if (!redoOurs()) document.execCommand('redo'); return true; }
  };
  qv.op = function (name, args) { return api[name].apply(null, args); };
})();
