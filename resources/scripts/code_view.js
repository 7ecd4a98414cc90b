// What the code view asks of the page beside it: where the page is scrolled
// (kept while the preview follows the code), the element last clicked (as
// its tag name and its place among elements of that name), and an outline
// around an element the caret is in. The outline is drawn by a box of the
// program's own, outside the page's elements and gone with the next load.
(function () {
  'use strict';
  var qv = window.__qv = window.__qv || {};
  if (qv.scrollPosition) return;  // put in twice: the first copy stays

  qv.scrollPosition = function () {
    return [window.scrollX, window.scrollY];
  };
  qv.scrollTo = function (x, y) {
    window.scrollTo(x, y);
    return true;
  };

  var clicked = null;
  document.addEventListener('mousedown', function (event) {
    var element = event.target;
    if (!(element instanceof Element)) return;
    var name = element.localName;
    var same = document.getElementsByTagName(name);
    for (var i = 0; i < same.length; ++i)
      if (same[i] === element) clicked = { name: name, ordinal: i };
  }, true);
  // The element last clicked, once: {name, ordinal}, or null.
  qv.takeClicked = function () {
    var answer = clicked;
    clicked = null;
    return answer;
  };

  var box = null;
  qv.outlineElement = function (name, ordinal) {
    var element = name ? document.getElementsByTagName(name)[ordinal] : null;
    if (!element || !document.body) {
      if (box) box.style.display = 'none';
      return false;
    }
    if (!box) {
      box = document.createElement('div');
      box.style.cssText = 'position:absolute;pointer-events:none;z-index:2147483647;' +
          'outline:2px solid #3b82f6;outline-offset:1px;background:rgba(59,130,246,0.08)';
      document.documentElement.appendChild(box);
    }
    var r = element.getBoundingClientRect();
    box.style.left = (r.left + window.scrollX) + 'px';
    box.style.top = (r.top + window.scrollY) + 'px';
    box.style.width = r.width + 'px';
    box.style.height = r.height + 'px';
    box.style.display = 'block';
    if (r.bottom < 0 || r.top > window.innerHeight) element.scrollIntoView({block: 'center'});
    return true;
  };
})();
