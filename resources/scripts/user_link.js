// The address of the link the user clicked (at x, y in CSS pixels), or of the
// focused link when x is null; '' where there is none, or the document is
// being edited. Only the user's own click or Enter asks this.
(function () {
  'use strict';
  var qv = window.__qv = window.__qv || {};
  if (qv.userLink) return;  // put in twice: the first copy stays

  qv.userLink = function (x, y) {
    var e = x === null ? document.activeElement : document.elementFromPoint(x, y);
    var link = e && e.closest ? e.closest('a[href], area[href]') : null;
    if (!link || document.designMode === 'on' || link.isContentEditable) return '';
    var h = link.getAttribute('href') || link.getAttribute('xlink:href') || '';
    try { return new URL(h, document.baseURI).href; } catch (x) { return ''; }
  };
})();
