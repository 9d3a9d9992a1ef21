// Stream mode under Node (the WebAssembly build's smoke test): standard input and output
// through Node's own synchronous file calls, since the C library's POSIX calls do not behave
// there (a pipe with nothing in it reads as its end, poll waits for nothing), and the one
// setting of the environment the stream backend reads.
mergeInto(LibraryManager.library, {
  gamebox_node_write: function (fd, data, len) {
    var fs = require('fs');
    var done = 0;
    while (done < len) {
      try {
        done += fs.writeSync(fd, HEAPU8.subarray(data + done, data + len));
      } catch (e) {
        if (e.code !== 'EAGAIN') return 0;
      }
    }
    return 1;
  },

  gamebox_node_read: function (fd, buf, cap) {
    try {
      return require('fs').readSync(fd, HEAPU8.subarray(buf, buf + cap), 0, cap, null);
    } catch (e) {
      return e.code === 'EAGAIN' ? -1 : 0;
    }
  },

  gamebox_node_clock: function () {
    if (typeof process !== 'object' || !process.versions || !process.versions.node) return -1;
    return process.env['GAMEBOX_CLOCK'] === 'virtual' ? 1 : 0;
  },
});
