// Plot: the probes' history, the values that the reports print against the
// step, on a logarithmic scale from 1e-8 to 1e39: the ten intensities, or the
// ten populations printed after the slash (the buttons Intensity and
// Population). The values are kept at every step, as the floats the report
// prints; the plot is drawn at the frame timer's next tick, once however
// many steps came since, and only when something new is to be drawn (steps,
// the other values, another size or ratio): an idle page draws nothing.
//
// A probe's value that is inf (or -inf) or -nan is drawn in the band "inf"
// or "nan" above the scale, in the probe's row of the band, from the step
// where it begins; its line stops there. The values below 5e-7, which the
// report prints as 0.000000, are drawn as they are down to 1e-8; a value of
// 1e-8 or less (0 included) lies on the scale's bottom edge. Where the steps
// outnumber the pixels, each pixel column shows the least and the greatest
// value of its steps. A run that continues a snapshot is plotted from the
// snapshot's step on.
//
// Save the plot saves it as a PNG, probes_intensity_SSSSSS.png or
// probes_population_SSSSSS.png, named by the step.
const Plot = (() => {
  const canvas = document.getElementById('plot');
  const kindButtons = [document.getElementById('plot-intensity'), document.getElementById('plot-population')];
  const KIND_NAMES = ['intensity', 'population'];
  const LOG_MIN = -8;
  const LOG_MAX = 39;
  const LOG_LABELS = [-8, 0, 8, 16, 24, 32, 39];
  // matplotlib's ten colours, one for each probe (column)
  const COLOURS = ['#1f77b4', '#ff7f0e', '#2ca02c', '#d62728', '#9467bd', '#8c564b', '#e377c2', '#7f7f7f',
    '#bcbd22', '#17becf'];
  const FONT_PX = 12;
  const ROW_PX = 2;  // a probe's row in a band
  let probes = 0;    // set by start
  let values = new Float32Array(0);  // for step s (from 1) and probe k: [(s - 1) * 2 * probes + 2 * k + kind]
  let steps = 0;     // kept, the steps after `first`
  let first = 0;     // the run's step before the first kept: 0, or that of a snapshot continued
  let kind = 0;      // 0 the intensities, 1 the populations
  let dirty = true;  // something new is to be drawn
  let draws = 0;
  let drawMs = 0;
  let geometry = null;  // of the last drawing: where a step and a value lie

  // The probes' values after a step.
  function add() {
    const stride = 2 * probes;
    if ((steps + 1) * stride > values.length) {
      const grown = new Float32Array(Math.max(1024, 2 * values.length));
      grown.set(values);
      values = grown;
    }
    const start = Module._lv_probes() >> 2;
    values.set(Module.HEAPF32.subarray(start, start + stride), steps * stride);
    steps++;
    dirty = true;
  }

  function value(step, probe, which = kind) { return values[(step - 1) * 2 * probes + 2 * probe + which]; }

  // Tick marks for the steps after `from` up to `last`: multiples of 1, 2
  // or 5 times a power of ten, at most `most` of them.
  function stepTicks(from, last, most) {
    let spacing;
    for (let power = 1; spacing === undefined; power *= 10) {
      spacing = [1, 2, 5].map((m) => m * power).find((s) => Math.floor(last / s) - Math.floor(from / s) <= most);
    }
    const ticks = [];
    for (let s = (Math.floor(from / spacing) + 1) * spacing; s <= last; s += spacing) ticks.push(s);
    return ticks;
  }

  // For each probe, the first step whose value passes `test` (null for none).
  function onsets(test) {
    const found = [];
    for (let k = 0; k < probes; k++) {
      let s = 1;
      while (s <= steps && !test(value(s, k))) s++;
      found.push(s <= steps ? s : null);
    }
    return found;
  }
  const isInfinite = (v) => v === Infinity || v === -Infinity;

  function draw() {
    const t0 = performance.now();
    const cssWidth = canvas.clientWidth;
    const cssHeight = canvas.clientHeight;
    if (cssWidth === 0 || cssHeight === 0) return;
    const ratio = window.devicePixelRatio > 0 && isFinite(window.devicePixelRatio) ? window.devicePixelRatio : 1;
    const width = Math.round(cssWidth * ratio);
    const height = Math.round(cssHeight * ratio);
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    // Drawn by the processor (a canvas "read frequently"): its long lines cost
    // little there, while a GPU done in software (SwiftShader, where a browser
    // has no GPU) took so long that a held Step stepped half as often.
    const g = canvas.getContext('2d', {willReadFrequently: true});
    g.setTransform(width / cssWidth, 0, 0, height / cssHeight, 0, 0);
    g.fillStyle = '#fff';
    g.fillRect(0, 0, cssWidth, cssHeight);
    g.font = FONT_PX + 'px system-ui, sans-serif';
    g.textBaseline = 'middle';

    // From the top: the title, the bands inf and nan, the scale, the steps'
    // labels, the legend.
    const band = probes * ROW_PX;
    const left = 38;
    const right = cssWidth - 10;
    const infTop = FONT_PX + 10;
    const nanTop = infTop + band + 3;
    const top = nanTop + band + 6;
    const bottom = cssHeight - 2.6 * FONT_PX - 6;
    const last = Math.max(steps, 1);
    const x = (s) => left + (s - 0.5) / last * (right - left);
    const decades = (v) => (v > 0 ? Math.min(LOG_MAX, Math.max(LOG_MIN, Math.log10(v))) : LOG_MIN);
    const y = (v) => bottom - (decades(v) - LOG_MIN) / (LOG_MAX - LOG_MIN) * (bottom - top);
    geometry = {x, y, infTop, nanTop, top, bottom, left, right};

    // The title, with where inf and nan begin.
    const infFrom = onsets(isInfinite).filter((s) => s !== null);
    const nanFrom = onsets(Number.isNaN).filter((s) => s !== null);
    let title = (kind === 0 ? 'Intensity' : 'Population') + ', ' + (steps === 1 ? '1 step' : steps + ' steps');
    if (first > 0) title += ' after step ' + first;
    if (infFrom.length > 0) title += ', inf from step ' + (first + Math.min(...infFrom));
    if (nanFrom.length > 0) title += ', -nan from ' + (first + Math.min(...nanFrom));
    g.fillStyle = '#111';
    g.textAlign = 'left';
    g.fillText(title, 4, FONT_PX / 2 + 3, right - 4);

    // The frame, the decades' lines and labels, the bands' names.
    g.strokeStyle = '#ccc';
    g.lineWidth = 1;
    g.textAlign = 'right';
    for (const power of LOG_LABELS) {
      const at = Math.round(y(10 ** power)) + 0.5;
      g.beginPath();
      g.moveTo(left, at);
      g.lineTo(right, at);
      g.stroke();
      g.fillText(power === 0 ? '1' : '1e' + power, left - 4, at);
    }
    g.fillText('inf', left - 4, infTop + band / 2);
    g.fillText('nan', left - 4, nanTop + band / 2);
    g.strokeStyle = '#888';
    g.strokeRect(left + 0.5, top + 0.5, right - left - 1, bottom - top - 1);
    g.strokeRect(left + 0.5, infTop - 0.5, right - left - 1, band + 1);
    g.strokeRect(left + 0.5, nanTop - 0.5, right - left - 1, band + 1);
    g.textAlign = 'center';
    g.textBaseline = 'top';
    for (const s of stepTicks(first, first + last, Math.max(1, Math.floor((right - left) / 60)))) {
      const label = String(s);
      if (x(s - first) + g.measureText(label).width / 2 <= cssWidth) g.fillText(label, x(s - first), bottom + 7);
    }
    g.textAlign = 'right';
    g.fillText('step', left - 4, bottom + 7);

    // Each probe: its line, and its rows in the bands.
    g.lineWidth = 1.5;
    g.lineJoin = 'round';
    for (let k = 0; k < probes; k++) {
      g.strokeStyle = g.fillStyle = COLOURS[k % COLOURS.length];
      drawProbe(g, k, x, y, infTop + k * ROW_PX, nanTop + k * ROW_PX);
    }

    // The legend: the probes by column.
    g.textBaseline = 'middle';
    const legendY = cssHeight - FONT_PX / 2 - 3;
    g.fillStyle = '#111';
    g.textAlign = 'left';
    g.fillText('Lattice', 4, legendY);
    const legendLeft = 4 + g.measureText('Lattice ').width;
    const entry = Math.min(34, (cssWidth - legendLeft) / probes);
    for (let k = 0; k < probes; k++) {
      const at = legendLeft + k * entry;
      g.fillStyle = COLOURS[k % COLOURS.length];
      g.fillRect(at, legendY - 1.5, entry * 0.45, 3);
      g.fillStyle = '#111';
      g.fillText(String(k), at + entry * 0.5, legendY);
    }

    dirty = false;
    draws++;
    drawMs += performance.now() - t0;
  }

  // Probe k: its finite values as a line through its steps (the least and
  // the greatest of a pixel column's), broken where a value is not finite;
  // those marked in its rows of the bands, at `infRow` and `nanRow`.
  function drawProbe(g, k, x, y, infRow, nanRow) {
    let column = NaN;  // the pixel column gathered, NaN for none
    let first = 0, least = 0, greatest = 0, latest = 0;
    let joined = false;  // the line goes on from the previous column
    let run = 0;         // the step where the present run of inf or nan began, 0 for none
    let runIsNaN = false;
    const endColumn = () => {
      if (Number.isNaN(column)) return;
      const at = column + 0.5;
      if (joined) g.lineTo(at, first); else g.moveTo(at, first);
      g.lineTo(at, least);
      g.lineTo(at, greatest);
      g.lineTo(at, latest);
      joined = true;
      column = NaN;
    };
    const endRun = (end) => {
      if (run === 0) return;
      const from = x(run - 0.5);
      g.fillRect(from, runIsNaN ? nanRow : infRow, Math.max(2, x(end + 0.5) - from), ROW_PX);
      run = 0;
    };
    g.beginPath();
    for (let s = 1; s <= steps; s++) {
      const v = value(s, k);
      if (Number.isFinite(v)) {
        endRun(s - 1);
        const at = Math.floor(x(s));
        const h = y(v);
        if (at !== column) {
          endColumn();
          column = at;
          first = least = greatest = h;
        }
        least = Math.max(least, h);
        greatest = Math.min(greatest, h);
        latest = h;
      } else {
        endColumn();
        joined = false;
        const nan = Number.isNaN(v);
        if (run !== 0 && runIsNaN !== nan) endRun(s - 1);
        if (run === 0) {
          run = s;
          runIsNaN = nan;
        }
      }
    }
    endColumn();
    g.stroke();
    endRun(steps);
  }

  // Another run: the values kept from now on are those of the steps after
  // `step`.
  function startOver(step) {
    first = step;
    steps = 0;
    invalidate();
  }

  // At a tick: the plot, if something new is to be drawn.
  function show() {
    if (dirty) draw();
  }
  // Drawn at the next tick.
  function invalidate() {
    dirty = true;
    Frames.arm();
  }

  function choose(which) {
    kind = which;
    kindButtons.forEach((button, i) => button.setAttribute('aria-pressed', String(i === kind)));
    invalidate();
  }
  kindButtons.forEach((button, i) => button.addEventListener('click', () => choose(i)));

  function save() {
    draw();
    const name = `probes_${KIND_NAMES[kind]}_${String(first + steps).padStart(6, '0')}.png`;
    Files.downloadPicture(canvas, name, 'the plot');
  }
  document.getElementById('save-plot').addEventListener('click', save);

  // A new size or device pixel ratio: drawn again.
  if (typeof ResizeObserver === 'function') {
    const observer = new ResizeObserver(invalidate);
    try {
      observer.observe(canvas, {box: 'device-pixel-content-box'});
    } catch (error) {
      observer.observe(canvas);
    }
  }
  window.addEventListener('resize', invalidate);

  function start() {
    probes = Module._lv_probe_count();
    Program.whenStepped(add);
    choose(0);
  }

  return {
    start, show, startOver,
    draws: () => draws,
    drawMs: () => drawMs,
    steps: () => steps,
    value,
    // Where the last drawing put step s and a value v (CSS pixels of the
    // canvas), and its bands' rows.
    geometry: () => geometry,
  };
})();
