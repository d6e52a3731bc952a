// What opening a snapshot costs the page in headless Chromium: lbm_trace's
// snapshot of step 100, opened as Open a snapshot opens it (the file's bytes
// read, copied into the module, checked by the reader and its lattice
// built), and the module's part alone (the copy, the reader, the lattice),
// against one step of the lattice opened. A benchmark, not a test: it prints
// the medians of its repetitions.
//
// usage: node bench/web_open.mjs PAGE LBM_TRACE   (after npm ci in browsers/)
import {execFileSync} from 'node:child_process';
import {mkdtempSync, readFileSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {launchChromium, openPage} from '../browsers/browser.mjs';

const [PAGE, LBM_TRACE] = process.argv.slice(2);
if (!PAGE || !LBM_TRACE) {
  console.error('usage: node bench/web_open.mjs PAGE LBM_TRACE');
  process.exit(2);
}
const REPETITIONS = 9;
const TIMES = 10;  // each timed together: the browser's clock may count only tenths of a millisecond

const directory = mkdtempSync(join(tmpdir(), 'latticeview-open-'));
const browser = await launchChromium();
try {
  const command = LBM_TRACE.endsWith('.js') ? [process.execPath, LBM_TRACE] : [LBM_TRACE];
  execFileSync(command[0], [...command.slice(1), '--vtk', directory, '--every', '100', '100'], {stdio: 'ignore'});
  const bytes = readFileSync(join(directory, 'lattice_000100.vti'));
  const page = await openPage(browser, PAGE);
  const times = await page.evaluate(async (base64, repetitions, times) => {
    const data = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
    const file = new File([data], 'lattice_000100.vti');
    const result = {open: [], module: [], step: []};
    for (let r = 0; r < repetitions; r++) {
      let start = performance.now();
      for (let i = 0; i < times; i++) await latticeview.openSnapshot(file);
      result.open.push((performance.now() - start) / times);
      start = performance.now();
      for (let i = 0; i < times; i++) {
        Module.HEAPU8.set(data, Module._lv_input());
        Module.HEAPU8[Module._lv_input() + data.length] = 0;
        if (Module._lv_read_snapshot(data.length) !== 0 || !Module._lv_continue_snapshot()) throw new Error('not read');
      }
      result.module.push((performance.now() - start) / times);
      start = performance.now();
      for (let i = 0; i < times; i++) Module._lv_step();
      result.step.push((performance.now() - start) / times);
    }
    return result;
  }, bytes.toString('base64'), REPETITIONS, TIMES);
  const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
  const [open, module, step] = [median(times.open), median(times.module), median(times.step)];
  console.log(`opening a snapshot of ${bytes.length} bytes: ${(open * 1000).toFixed(0)} us ` +
    `(the module's part ${(module * 1000).toFixed(0)} us); one step ${(step * 1000).toFixed(0)} us; ` +
    `ratio ${(open / step).toFixed(2)} (${(module / step).toFixed(2)}); medians of ${REPETITIONS}, each of ${TIMES} in a row`);
} finally {
  await browser.close();
  rmSync(directory, {recursive: true, force: true});
}
