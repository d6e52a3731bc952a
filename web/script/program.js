// Program: the lattice's program as the window runs it (started, stepped,
// ended with q), its snapshots, and the status line that says where it is.
const Program = (() => {
  const world = document.getElementById('world');
  const statusLine = document.getElementById('status');
  const endListeners = [];
  const stepListeners = [];
  let running = false;
  let ended = false;
  let endStatus = 0;
  let steps = 0;
  let stepsShown = 0;    // the steps the status said at the last tick
  let pictureNote = '';  // what the status says first while the picture cannot be drawn

  // The status line: the steps taken, how the program ended, whether the
  // picture can be drawn. Written at a tick, not at every key press.
  function stepsText(n) { return n === 1 ? '1 step' : n + ' steps'; }
  function showStatus() {
    let text;
    if (ended) {
      text = 'The program ended with exit status ' + endStatus + ' after ' + stepsText(steps) +
        ', as the window does on q. Reload the page to start again.';
    } else {
      text = 'Running: ' + stepsText(steps) + '.';
    }
    if (pictureNote) text = pictureNote + ' ' + text;
    if (statusLine.textContent !== text) statusLine.textContent = text;
  }
  // At a tick: the status, when steps were taken since the last.
  function showStepsTaken() {
    if (stepsShown === steps) return;
    stepsShown = steps;
    showStatus();
  }
  // The status says `note` first ('' for nothing): why the picture cannot
  // be drawn.
  function notePicture(note) {
    pictureNote = note;
    showStatus();
  }

  function start() {
    Module._lv_start();
    running = true;
  }

  function step() {
    Module._lv_step();
    steps++;
    Reports.flush();
    stepListeners.forEach((listener) => listener());
    Frames.invalidate();
  }

  // q: the program ends with `status`, as the window does. Its reports stay;
  // what listens (whenEnded) stops too.
  function end(status) {
    Reports.show();
    ended = true;
    endStatus = status;
    running = false;
    endListeners.forEach((listener) => listener());
    statusLine.className = 'ended';
    world.style.opacity = '0.4';
    showStatus();
  }

  // The runtime could not start (emscripten's abort).
  function abort(what) {
    running = false;
    statusLine.textContent = 'The program could not start here: ' + what;
    statusLine.className = 'ended';
  }

  // The whole lattice as it is now, the bytes that `lbm_trace --vtk` writes
  // for the same step, under the same name. After q too: the program has
  // ended, its state has not. Nothing before the program has started.
  function saveSnapshot() {
    if (!running && !ended) return;
    const size = Module._lv_encode_snapshot();
    const data = Module._lv_snapshot_data();
    const bytes = Module.HEAPU8.slice(data, data + size);
    Files.download(new Blob([bytes], {type: 'application/octet-stream'}), Module.UTF8ToString(Module._lv_snapshot_name()));
  }
  document.getElementById('save-snapshot').addEventListener('click', saveSnapshot);

  return {
    start, step, end, abort, showStatus, showStepsTaken, notePicture,
    whenEnded: (listener) => { endListeners.push(listener); },
    whenStepped: (listener) => { stepListeners.push(listener); },
    running: () => running,
    ended: () => ended,
    steps: () => steps,
  };
})();
