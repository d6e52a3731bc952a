// What the page must show: the window's reference pictures, within the
// window's own tolerance, and lbm_trace's reports.
import {execFileSync, spawnSync} from 'node:child_process';
import {readFileSync} from 'node:fs';
import {dirname, join} from 'node:path';
import {fileURLToPath} from 'node:url';
import {readPng} from '../../browsers/picture.mjs';

const REFERENCE_DIR = join(dirname(fileURLToPath(import.meta.url)), '..', 'gui', 'reference');

// The largest difference in a colour channel that two pictures of the same
// view may have, as in the window's own test.
export const TOLERANCE = 3;

// The window's reference picture NAME (tests/gui/reference/NAME.png).
export function referencePicture(name) {
  return readPng(readFileSync(join(REFERENCE_DIR, `${name}.png`)));
}

// The pixels where two pictures of the same size differ by more than
// `tolerance` in any channel, as [x, y] pairs.
export function differingPixels(a, b, tolerance) {
  if (a.width !== b.width || a.height !== b.height)
    throw new Error(`sizes differ: ${a.width}x${a.height} and ${b.width}x${b.height}`);
  const differing = [];
  for (let i = 0; i < a.width * a.height; i++) {
    for (let k = 0; k < 3; k++) {
      if (Math.abs(a.rgb[i * 3 + k] - b.rgb[i * 3 + k]) > tolerance) {
        differing.push([i % a.width, Math.floor(i / a.width)]);
        break;
      }
    }
  }
  return differing;
}

const traceCommand = (lbmTrace) => (lbmTrace.endsWith('.js') ? [process.execPath, lbmTrace] : [lbmTrace]);

// What lbm_trace LBM_TRACE (native, or WebAssembly when it is a .js file:
// run with node) prints with the arguments ARGS; fails unless it succeeds.
export function traceOutput(lbmTrace, args) {
  const command = traceCommand(lbmTrace);
  return execFileSync(command[0], [...command.slice(1), ...args], {encoding: 'latin1', maxBuffer: 1 << 26});
}

// Why lbm_trace refuses to resume FILE, as it says: "not a latticeview
// snapshot: REASON". Fails unless it refuses so, with status 1 and no report.
export function traceRefusal(lbmTrace, file) {
  const command = traceCommand(lbmTrace);
  const run = spawnSync(command[0], [...command.slice(1), '--resume', file, '1'], {encoding: 'latin1'});
  const reason = /^lbm_trace: '[^\n]*' is not a latticeview snapshot: (.*)\n$/.exec(run.stderr);
  if (run.status !== 1 || run.stdout !== '' || reason === null)
    throw new Error(`lbm_trace --resume ${file}: status ${run.status}, ${run.stderr}`);
  return reason[1];
}

// The reports of STEPS steps from start-up, as lbm_trace prints them.
export function expectedReports(lbmTrace, steps) {
  return traceOutput(lbmTrace, [String(steps)]);
}
