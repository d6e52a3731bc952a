// Program: the lattice's program as the window runs it (started, stepped,
// ended with q), its snapshots, the status line that says where it is, and
// the picture's description.
//
// The status is a polite live region: a screen reader says what it says. It
// says the steps taken at a tick, but while steps keep coming (a held Step)
// at most once every STEPS_SAID_MS, so that the steps do not flood a screen
// reader; the end, a file saved and a lost or restored picture at once.
const Program = (() => {
  const world = document.getElementById('world');
  const statusLine = document.getElementById('status');
  const description = document.getElementById('world-description');
  const STEPS_SAID_MS = 1000;
  const endListeners = [];
  const stepListeners = [];
  let running = false;
  let ended = false;
  let endStatus = 0;
  let steps = 0;
  let stepsShown = 0;    // the steps the status says
  let stepsSaidAt = -Infinity;  // when the status last said new steps (performance.now())
  let stepsLater = null;  // the timer that says the steps when STEPS_SAID_MS has passed
  let pictureNote = '';  // what the status says first while the picture cannot be drawn, or once it can again
  let pictureNoteLasts = false;  // said until the picture changes again, not only until the next steps
  let fileNote = '';     // what the status says last: a file saved or opened, a run started, until the next steps

  function stepsText(n) { return n === 1 ? '1 step' : n + ' steps'; }
  function showStatus() {
    let text;
    if (ended) {
      text = 'The program ended with exit status ' + endStatus + ' after ' + stepsText(steps) +
        ', as the window does on q. Reload the page to start again.';
    } else {
      text = 'Running: ' + stepsText(steps) + '.';
    }
    stepsShown = steps;
    if (pictureNote) text = pictureNote + ' ' + text;
    if (fileNote) text += ' ' + fileNote;
    if (statusLine.textContent !== text) statusLine.textContent = text;
  }
  // At a tick: the status, when steps were taken since it last said them.
  function showStepsTaken() {
    if (stepsShown === steps || stepsLater !== null) return;
    const wait = stepsSaidAt + STEPS_SAID_MS - performance.now();
    if (wait > 0) {
      stepsLater = setTimeout(() => {
        stepsLater = null;
        showStepsTaken();
      }, wait);
      return;
    }
    stepsSaidAt = performance.now();
    if (!pictureNoteLasts) pictureNote = '';
    fileNote = '';
    showStatus();
  }
  // The status says `note` first ('' for nothing): why the picture cannot
  // be drawn, for as long as that lasts (`lasts`), or until the next steps
  // that it can again.
  function notePicture(note, lasts) {
    pictureNote = note;
    pictureNoteLasts = lasts;
    showStatus();
  }
  // The status says `note` last: a file saved or opened (or refused), a new
  // run started.
  function noteFile(note) {
    fileNote = note;
    showStatus();
  }

  // The picture's description, for screen readers: what the camera sees,
  // how much of the lattice is lit, after how many steps.
  function describe(camera) {
    const degrees = (value) => Math.round(value * 10) / 10 + '\u00b0';
    const number = (value) => String(Math.round(value * 10) / 10);
    const text = 'The lattice seen from the camera at elevation ' + degrees(camera[0]) + ', azimuth ' +
      degrees(camera[1]) + ' and distance ' + number(camera[2]) + ', looking at ' + number(camera[3]) + ', ' +
      number(camera[4]) + ': ' + Module._lv_lit_cells() + ' of its ' + Module._lv_cells() + ' cells lit after ' +
      stepsText(steps) + (ended ? ', the program ended.' : '.');
    if (description.textContent !== text) description.textContent = text;
  }

  function start() {
    Module._lv_start();
    running = true;
  }

  function step() {
    if (!Module._lv_step()) {
      noteFile('No more steps: the run has taken as many as the page can count.');
      return;
    }
    steps++;
    Reports.flush();
    stepListeners.forEach((listener) => listener());
    Frames.invalidate();
  }

  // Another run in place of this one (Runs): its steps so far, its reports
  // and plot from there on.
  function startOver() {
    steps = Module._lv_steps();
    Reports.startOver(steps);
    Plot.startOver(steps);
    Frames.invalidate();
    showStatus();
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
    const name = Module.UTF8ToString(Module._lv_snapshot_name());
    Files.download(new Blob([bytes], {type: 'application/octet-stream'}), name);
    noteFile('Saved a snapshot as ' + name + '.');
  }
  document.getElementById('save-snapshot').addEventListener('click', saveSnapshot);

  return {
    start, step, startOver, end, abort, showStatus, showStepsTaken, notePicture, noteFile, describe,
    whenEnded: (listener) => { endListeners.push(listener); },
    whenStepped: (listener) => { stepListeners.push(listener); },
    running: () => running,
    ended: () => ended,
    steps: () => steps,
  };
})();
