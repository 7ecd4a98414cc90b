// The place a page check reported, selected and scrolled into view: an
// element by one of its attributes (its whole value, as the page has it), or
// else a text shown on the page. where is {attribute, value, text}; true when
// the place was found.
(function () {
  'use strict';
  var qv = window.__qv = window.__qv || {};
  if (qv.locateProblem) return;  // put in twice: the first copy stays

  qv.locateProblem = function (where) {
    var range = null;
    var element = null;
    if (where.attribute) {
      var all = document.getElementsByTagName('*');
      for (var i = 0; i < all.length && !element; ++i)
        if (all[i].getAttribute(where.attribute) === where.value) element = all[i];
      if (element) {
        range = document.createRange();
        range.selectNode(element);
      }
    } else if (where.text) {
      var root = document.body || document.documentElement;
      var walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT);
      for (var node = walker.nextNode(); node && !range; node = walker.nextNode()) {
        var at = node.data.indexOf(where.text);
        if (at < 0) continue;
        range = document.createRange();
        range.setStart(node, at);
        range.setEnd(node, at + where.text.length);
        element = node.parentElement;
      }
    }
    if (!range) return false;
    if (element && element.scrollIntoView) element.scrollIntoView({ block: 'center' });
    var selection = window.getSelection();
    selection.removeAllRanges();
    selection.addRange(range);
    return true;
  };
})();
