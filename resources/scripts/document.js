// What the program reads of the document shown. Runs in the program's own
// script world: the page's scripts can neither see nor change it, and it runs
// with the page's scripts off.
(function () {
  'use strict';
  var qv = window.__qv = window.__qv || {};
  if (qv.markup) return;  // put in twice: the first copy stays

  // The root element's markup as the engine holds it now.
  qv.markup = function () {
    return document.documentElement ? document.documentElement.outerHTML : '';
  };
  // The markup and the character set the engine read the bytes in.
  qv.page = function () {
    return { charset: document.characterSet, markup: qv.markup() };
  };
  // The address of the document once its parsing has ended; '' before.
  qv.readyHref = function () {
    return document.readyState === 'loading' ? '' : location.href;
  };
  // The address, and once parsed the markup and charset: what a check reads.
  qv.parsed = function () {
    if (document.readyState === 'loading') return { href: location.href };
    var page = qv.page();
    page.href = location.href;
    return page;
  };
  // The content of the page's viewport tag (the last one counts, as on a
  // phone; null when it has none), and which document says so.
  qv.viewport = function () {
    var tags = document.querySelectorAll('meta[name="viewport" i]');
    var content = tags.length ? tags[tags.length - 1].getAttribute('content') || '' : null;
    return { href: location.href, content: content };
  };
  // The height the whole page takes, and the view's, in CSS pixels.
  qv.pageHeight = function () {
    var root = document.documentElement;
    var body = document.body;
    return Math.max(root ? root.scrollHeight : 0, body ? body.scrollHeight : 0);
  };
  qv.viewSize = function () {
    return [window.innerWidth, window.innerHeight];
  };
  // The document read is not kept in memory until the next one.
  qv.empty = function () {
    document.replaceChildren();
  };
})();
