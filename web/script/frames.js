// Frames: the frame timer. A tick does the page's work (page.js): it moves
// the camera of a drag, draws when something shown changed (the camera, a
// step, the size, the ratio, a restored context) and shows the new reports.
// While a drag lasts, the ticks come every period (the window's 25 ms),
// counted from the previous tick's due time rather than from when it ran (as
// the window's timer is re-armed): a late tick does not delay the ones after
// it. (setInterval lets a stream of key presses push its ticks back, down to
// some 28 a second.) A tick more than a period late starts the count afresh.
// Otherwise a tick comes only when something changed, at most one a period:
// nothing is drawn while nothing moves.
const Frames = (() => {
  let periodMs = 0;  // set by start, once the program runs
  let work = null;   // the page's work at a tick
  let due = 0;       // when the next tick is due (performance.now())
  let timer = null;
  let dirty = true;  // something shown has not been drawn yet
  let lastTick = -Infinity;
  let ticks = 0;

  function started() { return periodMs > 0; }

  function tick() {
    timer = null;
    const now = performance.now();
    lastTick = now;
    ticks++;
    due += periodMs;
    if (due < now) due = now + periodMs;
    dirty = work(dirty);
  }

  // A tick at the due time, unless one is on its way (or the timer has not
  // started).
  function arm() {
    if (timer !== null || !started()) return;
    const now = performance.now();
    if (due < now) due = now;
    timer = setTimeout(tick, due - now);
  }

  // Something shown changed: the next tick draws.
  function invalidate() {
    dirty = true;
    arm();
  }

  // Ticks come from now on, every `period` ms at most. At each,
  // `frameWork(dirty)` does the page's work and returns whether something
  // shown is still not drawn; it calls arm() for the next tick while a drag
  // goes on.
  function start(period, frameWork) {
    periodMs = period;
    work = frameWork;
  }

  // A tick at once, from which the next ones are counted.
  function tickNow() {
    due = performance.now();
    tick();
  }

  return {
    start, started, tickNow, arm, invalidate,
    busy: () => timer !== null,
    lastTick: () => lastTick,
    ticks: () => ticks,
  };
})();
