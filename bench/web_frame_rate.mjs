// The page's redraws per second in headless Chromium's software WebGL
// (SwiftShader): idle, and while 2,000 presses of f arrive as fast as the
// DevTools protocol delivers them; then the reports' bytes against lbm_trace.
// A benchmark, not a test: it prints what it measured.
//
// usage: node bench/web_frame_rate.mjs PAGE LBM_TRACE   (after npm ci in browsers/)
import {execFileSync} from 'node:child_process';
import {launchChromium, openPage} from '../browsers/browser.mjs';

const [PAGE, LBM_TRACE] = process.argv.slice(2);
if (!PAGE || !LBM_TRACE) {
  console.error('usage: node bench/web_frame_rate.mjs PAGE LBM_TRACE');
  process.exit(2);
}
const PRESSES = 2000;
const IDLE_MS = 5000;

const framesAndTime = (page) => page.evaluate(() => [latticeview.counts.frames, performance.now()]);
const rate = ([f0, t0], [f1, t1]) => ((f1 - f0) * 1000) / (t1 - t0);

const browser = await launchChromium();
try {
  const page = await openPage(browser, PAGE);
  let start = await framesAndTime(page);
  await new Promise((resolve) => setTimeout(resolve, IDLE_MS));
  console.log(`idle: ${rate(start, await framesAndTime(page)).toFixed(1)} redraws/s over ${IDLE_MS / 1000} s`);

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
  const end = await framesAndTime(page);
  console.log(`${PRESSES} presses of f in ${((end[1] - start[1]) / 1000).toFixed(1)} s: ` +
    `${rate(start, end).toFixed(1)} redraws/s (per 400 presses: ${windows.join(', ')})`);

  start = await framesAndTime(page);
  await new Promise((resolve) => setTimeout(resolve, IDLE_MS));
  console.log(`idle after ${PRESSES} steps: ${rate(start, await framesAndTime(page)).toFixed(1)} redraws/s`);

  const command = LBM_TRACE.endsWith('.js') ? [process.execPath, LBM_TRACE] : [LBM_TRACE];
  const expected = execFileSync(command[0], [...command.slice(1), String(PRESSES)], {encoding: 'latin1', maxBuffer: 1 << 26});
  const shown = await page.evaluate(() => latticeview.reportText());
  console.log(`reports: ${shown === expected ? 'exact' : 'DIFFERENT from'} lbm_trace ${PRESSES} (${shown.length} bytes)`);
  const stepMs = await page.evaluate(() => {
    const t0 = performance.now();
    for (let i = 0; i < 200; i++) window.dispatchEvent(new KeyboardEvent('keydown', {key: 'f'}));
    return (performance.now() - t0) / 200;
  });
  console.log(`one press of f inside the page (the step, its report kept and logged; shown at the next tick): ${stepMs.toFixed(2)} ms`);
} finally {
  await browser.close();
}
