// The page's redraws per second in headless Chromium's software WebGL
// (SwiftShader): idle, and while 2,000 presses of f arrive as fast as the
// DevTools protocol delivers them; then the reports' bytes against lbm_trace;
// then a held Step at 150 and at 10,000 steps, with the plot of the probes:
// the time of a step and of a tick's work. A benchmark, not a test: it prints
// what it measured.
//
// usage: node bench/web_frame_rate.mjs PAGE LBM_TRACE   (after npm ci in browsers/)
import {execFileSync} from 'node:child_process';
import {launchChromium, openPage, waitFrames} from '../browsers/browser.mjs';

const [PAGE, LBM_TRACE] = process.argv.slice(2);
if (!PAGE || !LBM_TRACE) {
  console.error('usage: node bench/web_frame_rate.mjs PAGE LBM_TRACE');
  process.exit(2);
}
const PRESSES = 2000;
const IDLE_MS = 5000;

const framesAndTime = (page) => page.evaluate(() => [latticeview.counts.frames, performance.now(), latticeview.counts.plotDraws]);
const rate = ([f0, t0], [f1, t1]) => ((f1 - f0) * 1000) / (t1 - t0);
const plotRate = ([, t0, p0], [, t1, p1]) => ((p1 - p0) * 1000) / (t1 - t0);
const HOLD_MS = 5000;

const browser = await launchChromium();
try {
  const page = await openPage(browser, PAGE);
  let start = await framesAndTime(page);
  await new Promise((resolve) => setTimeout(resolve, IDLE_MS));
  let end = await framesAndTime(page);
  console.log(`idle: ${rate(start, end).toFixed(1)} redraws/s, ${plotRate(start, end).toFixed(1)} drawings of the plot/s over ${IDLE_MS / 1000} s`);

  start = await framesAndTime(page);
  const windows = [];
  let last = start;
  for (let i = 1; i <= PRESSES; i++) {
    await page.keyboard.press('f');
    if (i % 400 === 0) {
      const now = await framesAndTime(page);
      windows.push(rate(last, now).toFixed(1));
      last = now;
    }
  }
  end = await framesAndTime(page);
  console.log(`${PRESSES} presses of f in ${((end[1] - start[1]) / 1000).toFixed(1)} s: ` +
    `${rate(start, end).toFixed(1)} redraws/s (per 400 presses: ${windows.join(', ')})`);

  start = await framesAndTime(page);
  await new Promise((resolve) => setTimeout(resolve, IDLE_MS));
  end = await framesAndTime(page);
  console.log(`idle after ${PRESSES} steps: ${rate(start, end).toFixed(1)} redraws/s, ${plotRate(start, end).toFixed(1)} drawings of the plot/s`);

  const command = LBM_TRACE.endsWith('.js') ? [process.execPath, LBM_TRACE] : [LBM_TRACE];
  const expected = execFileSync(command[0], [...command.slice(1), String(PRESSES)], {encoding: 'latin1', maxBuffer: 1 << 26});
  const shown = await page.evaluate(() => latticeview.reportText());
  console.log(`reports: ${shown === expected ? 'exact' : 'DIFFERENT from'} lbm_trace ${PRESSES} (${shown.length} bytes)`);
  const stepMs = await page.evaluate(() => {
    const t0 = performance.now();
    for (let i = 0; i < 200; i++) window.dispatchEvent(new KeyboardEvent('keydown', {key: 'f'}));
    return (performance.now() - t0) / 200;
  });
  console.log(`one press of f inside the page (the step, its report and the probes' values kept; shown at the next tick): ${stepMs.toFixed(2)} ms`);

  // Step held for HOLD_MS from 150 and from 10,000 steps: it steps about 30
  // times a second, each step drawn at a tick with the plot. A tick's work
  // is the page's script at the tick (the picture's draw call, the plot,
  // the reports); tasks of over 50 ms, which Chromium reports as long
  // tasks, would be a visible pause.
  const held = await openPage(browser, PAGE);
  await held.evaluate(() => {
    window.longTasks = [];
    new PerformanceObserver((list) => window.longTasks.push(...list.getEntries().map((e) => e.duration)))
      .observe({type: 'longtask'});
  });
  const counts = () => held.evaluate(() => ({time: performance.now(), steps: latticeview.counts.steps,
    ticks: latticeview.counts.ticks, frames: latticeview.counts.frames, plotDraws: latticeview.counts.plotDraws,
    workMs: latticeview.workMs(), plotMs: latticeview.plotDrawMs(), longTasks: window.longTasks.slice()}));
  const box = await (await held.$('#step')).boundingBox();
  for (const from of [150, 10000]) {
    await held.evaluate((n) => {
      for (let i = latticeview.counts.steps; i < n; i++) window.dispatchEvent(new KeyboardEvent('keydown', {key: 'f'}));
    }, from);
    await waitFrames(held);
    await new Promise((resolve) => setTimeout(resolve, 1000));  // the long task of those steps reported
    const a = await counts();
    await held.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
    await held.mouse.down();
    await new Promise((resolve) => setTimeout(resolve, HOLD_MS));
    await held.mouse.up();
    const b = await counts();
    const ticks = b.ticks - a.ticks;
    const steps = b.steps - a.steps;
    const long = b.longTasks.slice(a.longTasks.length);
    console.log(`Step held ${HOLD_MS / 1000} s from ${from} steps: ${(steps * 1000 / (b.time - a.time)).toFixed(1)} steps/s, ` +
      `${(b.frames - a.frames)} frames and ${b.plotDraws - a.plotDraws} drawings of the plot in ${ticks} ticks; ` +
      `a tick's work ${((b.workMs - a.workMs) / ticks).toFixed(2)} ms, of which the plot ` +
      `${((b.plotMs - a.plotMs) / (b.plotDraws - a.plotDraws)).toFixed(2)} ms a drawing; ` +
      `${long.length} tasks over 50 ms${long.length > 0 ? ` (the longest ${Math.max(...long).toFixed(0)} ms)` : ''}`);
  }
} finally {
  await browser.close();
}
