// The benchmark program's one call to its page (page_bench.js).
mergeInto(LibraryManager.library, {
  gamebox_bench_mark: function (finalTick) {
    Module['gameboxPage']['benchMark'](finalTick);
  },
});
