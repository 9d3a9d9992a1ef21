// The browser backend's side in JavaScript: each function hands on to the page object that
// the page passes in as the module's `gameboxPage` (web/page.js), so the program knows nothing
// of the document and the page nothing of the program's memory but these calls.
mergeInto(LibraryManager.library, {
  gamebox_page_write: function (data, len) {
    // A copy: the terminal parses it later, and the program's memory changes meanwhile.
    Module['gameboxPage']['write'](HEAPU8.slice(data, data + len));
  },

  gamebox_page_resize: function (cols, rows) {
    Module['gameboxPage']['resize'](cols, rows);
  },

  gamebox_page_take: function (buf, cap, at) {
    var key = Module['gameboxPage']['take']();
    if (!key) return 0;
    var bytes = key['bytes'];
    // Every sequence the page makes is short ASCII; a longer one would be cut, never overrun.
    var n = Math.min(bytes.length, cap);
    for (var k = 0; k < n; ++k) HEAPU8[buf + k] = bytes.charCodeAt(k);
    HEAPF64[at >> 3] = key['at'];
    return n;
  },

  gamebox_page_wait: function (ms, untilKey) {
    return Asyncify.handleSleep(function (wakeUp) {
      Module['gameboxPage']['wait'](ms, untilKey, wakeUp);
    });
  },

  gamebox_page_finish: function () {
    Module['gameboxPage']['finish']();
  },

  // Recordings (main_web.cpp): the page keeps the run's, and holds the files it may replay.
  // Under Node there is no page.
  gamebox_page_record_open: function () {
    var page = Module['gameboxPage'];
    return page && page['record'] ? 1 : 0;
  },

  gamebox_page_record: function (data, len) {
    return Module['gameboxPage']['record'](HEAPU8.slice(data, data + len)) ? 1 : 0;
  },

  gamebox_page_file_size: function (name) {
    var page = Module['gameboxPage'];
    var file = page && page['file'] ? page['file'](UTF8ToString(name)) : null;
    return file ? file.length : -1;
  },

  gamebox_page_file_read: function (name, buf, len) {
    HEAPU8.set(Module['gameboxPage']['file'](UTF8ToString(name)).subarray(0, len), buf);
  },
});
