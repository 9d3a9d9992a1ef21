// Joined after the page script for the benchmark's page only: it times each call that resumes
// the program after a wait of the final stage, that is the tick that follows, from the rewind
// of its stack to the unwind at its next wait, its frame written to the terminal included.
// The figures go to window.gameboxBench for page_bench.mjs.
{
  const ticks = [];
  let timed = false;
  const wait = page.wait;
  page.benchMark = (finalTick) => {
    timed = finalTick !== 0;
  };
  page.wait = (ms, untilKey, done) => wait(ms, untilKey, () => {
    const tick = timed;
    const t0 = performance.now();
    done();
    if (tick) ticks.push(performance.now() - t0);
  });
  window.gameboxBench = { ticks };
}
