// The page's processor time in headless Chromium's software WebGL: the GPU
// process and the renderers together, in per cent of one core, over windows
// of 10 s: idle at device pixel ratios 1 and 2, and during a left drag that
// goes round and round. Prints each window and the median. Linux only (it
// reads /proc). A benchmark, not a test: it prints what it measured.
//
// usage: node bench/web_cpu.mjs PAGE [WINDOWS]   (after npm ci in browsers/)
import {readFileSync, readdirSync} from 'node:fs';
import {launchChromium, openPage} from '../browsers/browser.mjs';

const [PAGE, windowsArgument] = process.argv.slice(2);
if (!PAGE) {
  console.error('usage: node bench/web_cpu.mjs PAGE [WINDOWS]');
  process.exit(2);
}
const WINDOWS = Number(windowsArgument || 3);
const WINDOW_MS = 10000;
const TICKS_PER_SECOND = 100;  // USER_HZ of /proc/<pid>/stat on Linux

// The Chromium processes below `root` that draw or run the page.
function pageProcesses(root) {
  const parents = new Map();
  for (const name of readdirSync('/proc').filter((n) => /^\d+$/.test(n))) {
    try {
      const stat = readFileSync(`/proc/${name}/stat`, 'latin1');
      parents.set(Number(name), Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]));
    } catch { /* gone */ }
  }
  const below = (pid) => { for (let p = pid; p > 1; p = parents.get(p) || 0) if (p === root) return true; return false; };
  return [...parents.keys()].filter((pid) => {
    if (!below(pid)) return false;
    try {
      return /--type=(gpu-process|renderer)/.test(readFileSync(`/proc/${pid}/cmdline`, 'latin1'));
    } catch { return false; }
  });
}
function cpuTicks(pids) {
  let sum = 0;
  for (const pid of pids) {
    try {
      const fields = readFileSync(`/proc/${pid}/stat`, 'latin1').split(') ')[1].split(' ');
      sum += Number(fields[11]) + Number(fields[12]);  // utime, stime
    } catch { /* gone */ }
  }
  return sum;
}
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor((values.length - 1) / 2)];

async function measure(label, browser, during = null) {
  const shares = [];
  for (let i = 0; i < WINDOWS; i++) {
    const pids = pageProcesses(browser.process().pid);
    const t0 = performance.now();
    const c0 = cpuTicks(pids);
    if (during) await during(t0 + WINDOW_MS); else await sleep(WINDOW_MS);
    const share = (cpuTicks(pids) - c0) / TICKS_PER_SECOND / ((performance.now() - t0) / 1000) * 100;
    shares.push(share);
  }
  console.log(`${label}: ${median(shares).toFixed(1)}% of a core (windows: ${shares.map((s) => s.toFixed(1)).join(', ')})`);
}

const browser = await launchChromium();
try {
  for (const pixelRatio of [1, 2]) {
    const page = await openPage(browser, PAGE, {pixelRatio});
    await sleep(1000);
    await measure(`idle, ratio ${pixelRatio}`, browser);
    if (pixelRatio === 1) {
      const box = await (await page.$('#world')).boundingBox();
      await page.mouse.move(box.x + 400, box.y + 300);
      await page.mouse.down();
      let angle = 0;
      await measure('during a left drag, ratio 1', browser, async (until) => {
        while (performance.now() < until) {
          angle += 0.05;
          await page.mouse.move(box.x + 400 + 150 * Math.cos(angle), box.y + 300 + 100 * Math.sin(angle));
          await sleep(16);
        }
      });
      await page.mouse.up();
    }
    await page.close();
  }
} finally {
  await browser.close();
}
