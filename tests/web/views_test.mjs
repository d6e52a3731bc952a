// The page's pictures at views that the reference pictures do not hold: a
// seeded sequence of drags (left, middle and right, of random lengths) and
// steps, replayed in the real window (under X, through xdotool) and in the
// page in Chromium, Firefox and WebKit. After every drag the page's camera
// must be the window's, bit for bit; at five points along the sequence the
// page's picture must be the window's.
//
// One kind of difference is allowed, and named: a point whose exact window
// position lies within 1/100 of a subpixel of the point where the 1/256-pixel
// snap rounds the other way (or as close to an edge of the view), so that the
// browser's float arithmetic and the window's may put it one pixel apart (or
// one draw it and the other not). The test finds such points from the page's
// own matrices and points; at most one per view may differ, and only at its
// own pixels.
//
// usage: node views_test.mjs PAGE LATTICEVIEW DRAG_CAMERAS
//   PAGE          the page (build/web/latticeview.html)
//   LATTICEVIEW   the window's program, run in the X display of DISPLAY
//   DRAG_CAMERAS  prints the window's camera after each drag (tests/web/drag_cameras.cpp)
// LBM_VIEWS_BROWSERS: the browsers, of chromium,firefox,webkit (all by default).
import assert from 'node:assert/strict';
import {execFileSync, spawn} from 'node:child_process';
import {closeSync, mkdtempSync, openSync, readFileSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {test} from 'node:test';
import {canvasPicture, launchChromium, launchFirefox, openPage} from '../../browsers/browser.mjs';
import {readPpm} from '../../browsers/picture.mjs';
import {openWebKitPage} from '../../browsers/webkit.mjs';
import {TOLERANCE, differingPixels} from './expected.mjs';

const [PAGE, LATTICEVIEW, DRAG_CAMERAS] = process.argv.slice(2);
if (!PAGE || !LATTICEVIEW || !DRAG_CAMERAS || !process.env.DISPLAY) {
  console.error('usage: DISPLAY=... node views_test.mjs PAGE LATTICEVIEW DRAG_CAMERAS');
  process.exit(2);
}
const BROWSERS = (process.env.LBM_VIEWS_BROWSERS || 'chromium,firefox,webkit').split(',');
const WIDTH = 800;
const HEIGHT = 600;
const TIE = 0.01;     // of a subpixel (1/256 pixel)
const BUTTONS = ['left', 'middle', 'right'];

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
async function waitFor(condition, what, timeout = 10000) {
  const end = Date.now() + timeout;
  while (!(await condition())) {
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await sleep(20);
  }
}

// ---------------------------------------------------------------- the sequence
// 44 drags: orbits of any length across the picture, zooms of up to 200 and
// pans of up to 120 pixels (longer ones leave the lattice out of sight within
// a few drags); after about a third of them, 1 to 12 presses of f. The
// pictures are taken after drags 9, 18, 27, 36 and 44.
const SEED = 22;
const DRAGS = 44;
const VIEWS_AFTER = [9, 18, 27, 36, 44];

function random(seed) {  // mulberry32
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

function makeSequence() {
  const next = random(SEED);
  const whole = (n) => Math.floor(next() * n);
  const within = (v, reach, size) => Math.min(size - 1, Math.max(0, v + whole(2 * reach + 1) - reach));
  const actions = [];
  let steps = 0;
  for (let i = 1; i <= DRAGS; i++) {
    const button = 1 + whole(3);
    const from = [whole(WIDTH), whole(HEIGHT)];
    const reach = [WIDTH, 200, 120][button - 1];
    const to = [within(from[0], reach, WIDTH), within(from[1], reach, HEIGHT)];
    actions.push({drag: {button, from, to}});
    if (next() < 0.35) {
      const presses = 1 + whole(12);
      steps += presses;
      actions.push({steps: presses, total: steps});
    }
    if (VIEWS_AFTER.includes(i)) actions.push({view: `view ${VIEWS_AFTER.indexOf(i) + 1} (after drag ${i})`, steps});
  }
  return actions;
}
const SEQUENCE = makeSequence();
const DRAG_LIST = SEQUENCE.filter((a) => a.drag).map((a) => a.drag);

// The window's camera after each drag, as the bits of its five floats.
const CAMERAS = execFileSync(DRAG_CAMERAS, {
  input: DRAG_LIST.map((d) => [d.button, ...d.from, ...d.to].join(' ') + '\n').join(''), encoding: 'latin1',
}).trim().split('\n');
assert.equal(CAMERAS.length, DRAG_LIST.length);

const cameraBits = (camera) => Array.from(new Uint32Array(Float32Array.from(camera).buffer),
  (b) => b.toString(16).padStart(8, '0')).join(' ');

// ---------------------------------------------------------------- the window
const shellRun = (command, args, options = {}) => execFileSync(command, args, {encoding: 'latin1', timeout: 30000, ...options});

// The screen's WIDTH x HEIGHT rectangle at (x, y).
function screenPart(x, y) {
  return readPpm(execFileSync('import', ['-window', 'root', '-crop', `${WIDTH}x${HEIGHT}+${x}+${y}`, '+repage',
    '-depth', '8', 'ppm:-'], {maxBuffer: 1 << 26, timeout: 30000}));
}

// The same, once two captures 0.15 s apart agree.
async function stableScreenPart(x, y) {
  let previous = null;
  for (let tries = 0; tries < 20; tries++) {
    const part = screenPart(x, y);
    if (previous !== null && previous.rgb.equals(part.rgb)) return part;
    previous = part;
    await sleep(150);
  }
  throw new Error('no two captures of the window agree');
}

// Runs the sequence in the window; gives its pictures by view name.
async function windowPictures() {
  const work = mkdtempSync(join(tmpdir(), 'latticeview-views-'));
  const out = join(work, 'stdout.txt');
  const output = openSync(out, 'w');
  const program = spawn(LATTICEVIEW, [], {
    stdio: ['ignore', output, 'inherit'], env: {...process.env, LIBGL_ALWAYS_SOFTWARE: '1'},
  });
  closeSync(output);
  try {
    let id = '';
    await waitFor(() => {
      try {
        id = shellRun('xdotool', ['search', '--onlyvisible', '--name', '^World$']).trim().split('\n')[0];
      } catch {
        id = '';
      }
      return id !== '' || program.exitCode !== null;
    }, 'the window', 20000);
    assert.notEqual(id, '', 'the window appeared');
    const geometry = Object.fromEntries(shellRun('xdotool', ['getwindowgeometry', '--shell', id]).trim().split('\n')
      .map((line) => line.split('=')).map(([k, v]) => [k, Number(v)]));
    assert.deepEqual([geometry.WIDTH, geometry.HEIGHT], [WIDTH, HEIGHT]);
    shellRun('xdotool', ['windowfocus', '--sync', id]);
    const reports = () => (readFileSync(out, 'latin1').match(/^Lattice 9: /gm) || []).length;
    const pictures = {};
    let drag = 0;
    let camera = cameraBits([0, 0, 100, 0, 0]);
    let shown = null;  // the window's picture when known: a step changes it
    for (const action of SEQUENCE) {
      if (action.drag) {
        // The release must come after a tick of the frame timer has applied
        // the last position (a release discards the movement after the last
        // tick): where the drag moves the camera, once the picture has
        // changed (a busy machine may delay the ticks well beyond their
        // 25 ms), and in any case after a few ticks.
        const {button, from, to} = action.drag;
        const moves = CAMERAS[drag] !== camera;
        camera = CAMERAS[drag++];
        if (moves && shown === null) shown = await stableScreenPart(geometry.X, geometry.Y);
        const before = shown;
        shellRun('xdotool', ['mousemove', '--window', id, ...from.map(String), 'sleep', '0.05',
          'mousedown', String(button), 'sleep', '0.05', 'mousemove', '--window', id, ...to.map(String),
          'sleep', '0.15']);
        if (moves) {
          // The one motion is the drag's last position: the first changed
          // picture is that of the drag's camera.
          shown = null;
          await waitFor(() => {
            const now = screenPart(geometry.X, geometry.Y);
            if (now.rgb.equals(before.rgb)) return false;
            shown = now;
            return true;
          }, `the window's picture after drag ${drag}`, 5000).catch(() => {});
        }
        shellRun('xdotool', ['sleep', '0.1', 'mouseup', String(button), 'sleep', '0.05']);
      } else if (action.steps && !action.view) {
        shown = null;
        shellRun('xdotool', ['key', '--delay', '20', ...Array(action.steps).fill('f')]);
        await waitFor(() => reports() >= action.total, `${action.total} reports from the window`, 30000);
      } else if (action.view) {
        assert.equal(reports(), action.steps, 'the window has stepped as often as the sequence');
        pictures[action.view] = await stableScreenPart(geometry.X, geometry.Y);
      }
    }
    return pictures;
  } finally {
    program.kill();
    await Promise.race([new Promise((resolve) => program.on('exit', resolve)), sleep(5000)]);
    rmSync(work, {recursive: true, force: true});
  }
}

// ---------------------------------------------------------------- the page
// puppeteer's tab as the WebKit page of webkit.mjs: drags at whole canvas
// pixels, keys, and the canvas's picture.
function puppeteerPage(page) {
  const buttons = {left: 'left', middle: 'middle', right: 'right'};
  return {
    evaluate: (fn, ...args) => page.evaluate(fn, ...args),
    waitForFunction: (fn, {timeout = 10000} = {}, ...args) => page.waitForFunction(fn, {timeout, polling: 20}, ...args),
    async pressKeys(keys) { for (const key of keys) await page.keyboard.press(key); },
    async drag(button, from, to, {afterMove = null} = {}) {
      const box = await (await page.$('#world')).boundingBox();
      // The page takes the whole pixel a position lies in: the next whole
      // client pixel at or after the canvas pixel's corner lies in it.
      const at = ([x, y]) => [Math.ceil(box.x + x), Math.ceil(box.y + y)];
      await page.mouse.move(...at(from));
      await page.mouse.down({button: buttons[button]});
      await page.mouse.move(...at(to));
      if (afterMove) await afterMove();
      await page.mouse.up({button: buttons[button]});
    },
    canvasPicture: () => canvasPicture(page),
    close: () => page.close(),
  };
}

// The points of the page's current frame that tie at the snap or at an edge
// of the view: their exact window positions (in double, from the page's own
// float matrix and positions), and the pixels either rounding covers. Also
// counts the points whose centre lies just outside the view (within their
// half size), which the window does not draw.
function snapTies(page) {
  return page.evaluate((width, height, tie) => {
    const count = Module._lv_frame(width, height, 1);
    const m = Module.HEAPF32.subarray(Module._lv_uniforms() >> 2, (Module._lv_uniforms() >> 2) + 16);
    const stride = Module._lv_point_stride() >> 2;
    const base = Module._lv_points() >> 2;
    const positionAt = Module._lv_attribute_offset(0) >> 2;
    const sizeAt = Module._lv_attribute_offset(2) >> 2;
    const ties = [];
    let outside = 0;
    for (let i = 0; i < count; i++) {
      const p = base + i * stride;
      const [x, y, z] = [Module.HEAPF32[p + positionAt], Module.HEAPF32[p + positionAt + 1], Module.HEAPF32[p + positionAt + 2]];
      const side = Math.round(Module.HEAPF32[p + sizeAt]);
      const clip = [0, 1, 2, 3].map((r) => m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r]);
      if (clip[3] <= 0 || Math.abs(clip[2]) > clip[3]) continue;
      const window = [(clip[0] / clip[3] + 1) * width / 2, (clip[1] / clip[3] + 1) * height / 2];
      const sizes = [width, height];
      const onEdge = window.some((v, k) => Math.abs(v) <= tie / 256 || Math.abs(v - sizes[k]) <= tie / 256);
      if (window.some((v, k) => v < 0 || v > sizes[k])) {
        if (window.every((v, k) => v > -side / 2 && v < sizes[k] + side / 2)) outside++;
        if (!onEdge) continue;
      }
      // Where each rounding of the snap puts the point's square.
      const squares = (v, k) => {
        const f = v * 256;
        const near = Math.abs(f - Math.floor(f) - 0.5) < tie;
        const snaps = near ? [Math.floor(f) / 256, (Math.floor(f) + 1) / 256] : [Math.round(f) / 256];
        const starts = snaps.map((s) => (side % 2 === 1 ? Math.floor(s) + 0.5 : Math.floor(s + 0.5)) - side / 2);
        return [...new Set(starts)];
      };
      const [sx, sy] = window.map(squares);
      if (!onEdge && sx.length === 1 && sy.length === 1) continue;
      const pixels = [];
      for (const left of sx) {
        for (const bottom of sy) {
          for (let dy = 0; dy < side; dy++) {
            for (let dx = 0; dx < side; dx++) pixels.push(`${left + dx},${height - 1 - (bottom + dy)}`);
          }
        }
      }
      const at = window.map((v) => v.toFixed(6)).join(', ');
      const same = ties.find((other) => other.at === at);  // the point list may hold two at one place
      if (same) same.pixels = [...new Set([...same.pixels, ...pixels])];
      else ties.push({point: i, at, pixels: [...new Set(pixels)]});
    }
    return {ties, outside};
  }, WIDTH, HEIGHT, TIE);
}

async function replayInPage(t, page, name, windowPictures) {
  let drag = 0;
  let edgePoints = 0;
  for (const action of SEQUENCE) {
    if (action.drag) {
      const {button, from, to} = action.drag;
      const expected = CAMERAS[drag++];
      let seen = '';
      await page.drag(BUTTONS[button - 1], from, to, {
        // The release waits until the page's timer has applied the drag.
        afterMove: () => waitFor(async () => (seen = cameraBits(await page.evaluate(() => latticeview.camera()))) ===
          expected, `the camera after drag ${drag}`, 5000).catch(() => {}),
      });
      assert.equal(seen, expected, `${name}: the camera after drag ${drag} (${BUTTONS[button - 1]} from ${from} to ${to})`);
    } else if (action.steps && !action.view) {
      await page.pressKeys(Array(action.steps).fill('f'));
      await page.waitForFunction((n) => latticeview.counts.steps === n, {timeout: 20000}, action.total);
    } else if (action.view) {
      assert.equal(await page.evaluate(() => latticeview.counts.steps), action.steps);
      const shown = await page.canvasPicture();
      const expected = windowPictures[action.view];
      const differing = differingPixels(shown, expected, TOLERANCE).map((p) => p.join(','));
      const {ties, outside} = await snapTies(page);
      edgePoints += outside;
      const explained = ties.filter((tiePoint) => differing.some((p) => tiePoint.pixels.includes(p)));
      const unexplained = differing.filter((p) => !explained.some((tiePoint) => tiePoint.pixels.includes(p)));
      t.diagnostic(`${name}, ${action.view}: ${differing.length} pixels differ; ${ties.length} points tie at the ` +
        `snap${ties.length ? ` (${ties.map((p) => `point ${p.point} at ${p.at}`).join('; ')})` : ''}; ` +
        `${explained.length} of them differ; ${outside} points just outside the view`);
      assert.deepEqual(unexplained.slice(0, 12), [], `${name}, ${action.view}: ${unexplained.length} pixels differ ` +
        'from the window outside any tie');
      assert.ok(explained.length <= 1, `${name}, ${action.view}: ${explained.length} tying points differ`);
    }
  }
  return edgePoints;
}

test('the page\'s pictures along a sequence of drags and steps are the window\'s', async (t) => {
  let pictures = null;
  await t.test('the window: the sequence replayed with xdotool; its views are not empty', async () => {
    pictures = await windowPictures();
    for (const [view, picture] of Object.entries(pictures)) {
      let lit = 0;
      for (let i = 0; i < picture.rgb.length; i += 3) if (picture.rgb[i] || picture.rgb[i + 1] || picture.rgb[i + 2]) lit++;
      t.diagnostic(`window, ${view}: ${lit} pixels lit`);
      assert.ok(lit > 1000, `${view} of the window shows the lattice (${lit} pixels lit)`);
    }
  });
  if (pictures === null) return;

  const open = {
    chromium: async () => {
      const browser = await launchChromium();
      return {page: puppeteerPage(await openPage(browser, PAGE)), close: () => browser.close()};
    },
    firefox: async () => {
      const browser = await launchFirefox();
      return {page: puppeteerPage(await openPage(browser, PAGE)), close: () => browser.close()};
    },
    webkit: async () => {
      const page = await openWebKitPage(PAGE);
      return {page, close: () => page.close()};
    },
  };
  for (const name of BROWSERS) {
    await t.test(`${name}: the window's cameras after every drag and its pictures at ${VIEWS_AFTER.length} views`,
      async (st) => {
        const {page, close} = await open[name]();
        st.after(close);
        const edgePoints = await replayInPage(st, page, name, pictures);
        // The sequence is worth its time only if it shows points that the
        // window leaves out because their centre lies outside the view.
        assert.ok(edgePoints > 0, 'some view has a point whose centre lies just outside it');
      });
  }
});
