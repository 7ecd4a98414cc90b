// Decodes bytes as the label says (null when the engine names that character
// set otherwise than the page was read in) and parses them as a document with
// scripts off: the same decoder and tree builder as a load, without the load.
// Everything comes in as base64, so nothing in a page can end a string.
(function () {
  'use strict';
  var qv = window.__qv = window.__qv || {};
  if (qv.parseDeclared) return;  // put in twice: the first copy stays

  function bytesOf(b64) {
    return Uint8Array.from(atob(b64), function (c) { return c.charCodeAt(0); });
  }
  function text(b64) {
    return new TextDecoder().decode(bytesOf(b64));
  }

  qv.parseDeclared = function (label64, charset64, bytes64) {
    var decoder;
    try { decoder = new TextDecoder(text(label64)); } catch (e) { return null; }
    if (decoder.encoding.toLowerCase() !== text(charset64).toLowerCase()) return null;
    var doc = new DOMParser().parseFromString(decoder.decode(bytesOf(bytes64)), 'text/html');
    return doc.documentElement ? doc.documentElement.outerHTML : '';
  };
})();
