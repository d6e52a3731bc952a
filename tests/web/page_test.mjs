// The page in headless Chromium, as a user meets it: its pictures against the
// window's reference pictures at the same cameras (the same drags), its keys,
// its reports byte for byte (shown, logged and saved), q, a lost WebGL
// context, a browser without WebGL, a high-density screen, the snapshots it
// saves (against the golden SHA-256 of lbm_trace's), the mouse's back and
// forward buttons and the prompt before leaving unsaved reports.
//
// The part of keys and text runs in Firefox too, with a snapshot, when
// LBM_FIREFOX_TEST is set (Firefox needs an X display for WebGL: DISPLAY).
//
// usage: node page_test.mjs PAGE LBM_TRACE
//   PAGE       the page (build/web/latticeview.html)
//   LBM_TRACE  lbm_trace, native or WebAssembly (a .js file runs with node):
//              the reports of N steps from start-up
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import {createHash} from 'node:crypto';
import {mkdtempSync, readFileSync, readdirSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {dirname, join} from 'node:path';
import {test} from 'node:test';
import {fileURLToPath} from 'node:url';
import {launchChromium, launchFirefox, openPage, waitFrames} from './browser.mjs';
import {differingPixels, readPng} from './png.mjs';

const [PAGE, LBM_TRACE] = process.argv.slice(2);
if (!PAGE || !LBM_TRACE) {
  console.error('usage: node page_test.mjs PAGE LBM_TRACE');
  process.exit(2);
}
const REFERENCE_DIR = join(dirname(fileURLToPath(import.meta.url)), '..', 'gui', 'reference');
const TOLERANCE = 3;  // per colour channel, as the window's own test
const STEPS = 60;     // as the window's test: the reference pictures are of 60 steps
const FAST_PRESSES = 2000;

function expectedReports(steps) {
  const command = LBM_TRACE.endsWith('.js') ? [process.execPath, LBM_TRACE] : [LBM_TRACE];
  return execFileSync(command[0], [...command.slice(1), String(steps)], {encoding: 'latin1', maxBuffer: 1 << 26});
}

// A new directory, removed after the test `t`.
function temporaryDirectory(t, what) {
  const directory = mkdtempSync(join(tmpdir(), `latticeview-${what}-`));
  t.after(() => rmSync(directory, {recursive: true, force: true}));
  return directory;
}

// Chromium saves the files that the page downloads into a new directory,
// without asking; returns the directory.
async function allowDownloads(t, page) {
  const downloads = temporaryDirectory(t, 'downloads');
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads});
  return downloads;
}

// The bytes of the file `name` downloaded into `directory`, once complete:
// browsers write a download under another name (Chromium's .crdownload,
// Firefox's .part) until it is.
async function downloaded(directory, name) {
  const complete = () => {
    const files = readdirSync(directory);
    return files.includes(name) && !files.some((file) => /\.(crdownload|part)$/.test(file));
  };
  for (let i = 0; i < 300 && !complete(); i++) await new Promise((resolve) => setTimeout(resolve, 100));
  return readFileSync(join(directory, name));
}

// The SHA-256 of lbm_trace's snapshots of steps 0, 50, 100 and 150 by name.
const GOLDEN_SNAPSHOTS = new Map(readFileSync(join(dirname(fileURLToPath(import.meta.url)), '..', 'golden',
  'snapshots_150.sha256'), 'latin1').trim().split('\n').map((line) => line.split(/ +/).reverse())
  .filter(([name]) => name.endsWith('.vti')));
const snapshotName = (step) => `lattice_${String(step).padStart(6, '0')}.vti`;
const sha256 = (bytes) => createHash('sha256').update(bytes).digest('hex');

async function canvasPicture(page) {
  const canvas = await page.$('#world');
  return readPng(Buffer.from(await canvas.screenshot({type: 'png'})));
}

// Fails with the first differing pixels when the canvas differs from the
// window's reference picture NAME.
async function assertPicture(page, name, picture = null) {
  await waitFrames(page);
  const shown = picture || await canvasPicture(page);
  const reference = readPng(readFileSync(join(REFERENCE_DIR, `${name}.png`)));
  const differing = differingPixels(shown, reference, TOLERANCE);
  const at = ([x, y]) => `${x},${y}: ${[...shown.rgb.subarray((y * shown.width + x) * 3, (y * shown.width + x) * 3 + 3)]}` +
    ` / ${[...reference.rgb.subarray((y * reference.width + x) * 3, (y * reference.width + x) * 3 + 3)]}`;
  assert.equal(differing.length, 0, `${differing.length} pixels differ from ${name}.png, the first (now / reference):\n  ` +
    differing.slice(0, 8).map(at).join('\n  '));
}

// The reports kept for saving, and those shown, once the frame timer has
// shown every report.
async function reportText(page) {
  await page.waitForFunction(() => document.getElementById('reports').textContent.length ===
    latticeview.reportText().length, {timeout: 10000, polling: 20});
  return page.evaluate(() => ({saved: latticeview.reportText(), shown: document.getElementById('reports').textContent}));
}

async function pressKeys(page, keys) {
  for (const key of keys) await page.keyboard.press(key);
}

// A drag with BUTTON from canvas pixel FROM to TO; `whileHeld` runs before
// the release.
async function drag(page, button, from, to, whileHeld = null) {
  const box = await (await page.$('#world')).boundingBox();
  await page.mouse.move(box.x + from[0], box.y + from[1]);
  await page.mouse.down({button});
  await page.mouse.move(box.x + to[0], box.y + to[1], {steps: 4});
  const running = await page.evaluate(() => latticeview.running());
  if (running) await waitFrames(page);
  if (whileHeld) await whileHeld();
  await page.mouse.up({button});
  if (running) await waitFrames(page);
}

test('the page in Chromium', async (t) => {
  const browser = await launchChromium();
  t.after(() => browser.close());
  const page = await openPage(browser, PAGE);
  const golden = expectedReports(FAST_PRESSES);
  const firstReports = (n) => golden.split('\n').slice(0, 11 * n).join('\n') + '\n';

  await t.test('start-up: an 800 x 600 canvas showing the window\'s start-up picture', async () => {
    const size = await page.$eval('#world', (c) => [c.width, c.height, c.clientWidth, c.clientHeight]);
    assert.deepEqual(size, [800, 600, 800, 600]);
    await assertPicture(page, 'startup');
  });

  await t.test('a left drag orbits as in the window; back at the press point, the start-up picture', async () => {
    let startup = null;
    await drag(page, 'left', [400, 300], [460, 320], async () => {
      await assertPicture(page, 'dragged');
      const box = await (await page.$('#world')).boundingBox();
      await page.mouse.move(box.x + 400, box.y + 300, {steps: 3});
      await waitFrames(page);
      startup = await canvasPicture(page);
    });
    await assertPicture(page, 'startup', startup);
    assert.deepEqual(await page.evaluate(() => latticeview.camera()), [0, 0, 100, 0, 0]);
  });

  await t.test('keys other than f and q do nothing; f and Shift+F step, each printing its report', async () => {
    await pressKeys(page, ['Escape', 'KeyA', 'Space', 'Enter', 'Tab', 'ArrowLeft', 'F1', 'KeyX']);
    assert.equal((await reportText(page)).saved, '');
    await page.keyboard.down('Shift');
    await page.keyboard.press('KeyF');
    await page.keyboard.up('Shift');
    await pressKeys(page, Array(STEPS - 1).fill('f'));
    const text = await reportText(page);
    assert.equal(text.saved, firstReports(STEPS));
    assert.equal(text.shown, text.saved);
    const logged = page.messages.filter((m) => m.type === 'log').map((m) => m.text + '\n');
    assert.equal(logged.join(''), firstReports(STEPS));
    await assertPicture(page, 'stepped');
  });

  await t.test('middle drags zoom out, beyond the canvas too (the drag holds the pointer)', async () => {
    await drag(page, 'middle', [400, 0], [400, 900]);
    await drag(page, 'middle', [400, 0], [400, 686]);
    await assertPicture(page, 'zoomed');
    assert.deepEqual(await page.$eval('#world', (c) => c.dispatchEvent(new MouseEvent('contextmenu',
      {bubbles: true, cancelable: true}))), false, 'the canvas has no context menu');
  });

  await t.test('a lost WebGL context is restored and the drawing resumes', async () => {
    await page.evaluate(() => {
      const extension = document.getElementById('world').getContext('webgl').getExtension('WEBGL_lose_context');
      extension.loseContext();
      setTimeout(() => extension.restoreContext(), 100);
    });
    await page.waitForFunction(() => latticeview.counts.contextsRestored === 1, {timeout: 10000});
    await assertPicture(page, 'zoomed');
  });

  await t.test(`${FAST_PRESSES} presses of f in all: every report exact, shown, and saved as the same bytes`, async () => {
    await pressKeys(page, Array(FAST_PRESSES - STEPS).fill('f'));
    const text = await reportText(page);
    assert.equal(text.saved, golden);
    assert.equal(text.shown, golden);

    const downloads = await allowDownloads(t, page);
    await page.click('#save');
    assert.equal((await downloaded(downloads, 'latticeview-reports.txt')).toString('latin1'), golden);
  });

  await t.test('q ends the program with status 1: no more steps, no more drags', async () => {
    const camera = await page.evaluate(() => latticeview.camera());
    await pressKeys(page, ['q', 'f', 'f']);
    assert.equal(await page.evaluate(() => latticeview.ended()), true);
    assert.match(await page.$eval('#status', (s) => s.textContent), /ended with exit status 1\b/);
    await drag(page, 'left', [400, 300], [500, 300]);
    assert.deepEqual(await page.evaluate(() => latticeview.camera()), camera);
    assert.equal((await reportText(page)).saved, golden);
    assert.deepEqual(page.messages.filter((m) => m.type === 'error' || m.type === 'pageerror'), []);
  });

  await t.test('snapshots of steps 0, 50, 100 and 150 (after q) are lbm_trace\'s bytes; after q the reports are saved too', async () => {
    const saving = await openPage(browser, PAGE);
    const downloads = await allowDownloads(t, saving);
    const hashes = new Map();
    for (const step of [0, 50, 100, 150]) {
      await pressKeys(saving, Array(step === 0 ? 0 : 50).fill('f'));
      if (step === 150) await pressKeys(saving, ['q', 'f']);
      await saving.click('#save-snapshot');
      hashes.set(snapshotName(step), sha256(await downloaded(downloads, snapshotName(step))));
    }
    assert.deepEqual(hashes, GOLDEN_SNAPSHOTS);
    await saving.click('#save');
    assert.equal((await downloaded(downloads, 'latticeview-reports.txt')).toString('latin1'), firstReports(150));
    await saving.close();
  });

  await t.test('the mouse\'s back and forward buttons over the picture do nothing; leaving unsaved reports asks first', async () => {
    const tab = await openPage(browser, PAGE, {from: 'about:blank'});
    await allowDownloads(t, tab);
    const url = tab.url();
    const dialogs = [];
    let answer = 'dismiss';  // stay on the page
    tab.on('dialog', (dialog) => {
      dialogs.push(dialog.type());
      dialog[answer]();
    });
    await pressKeys(tab, ['f', 'f']);
    const click = async (button) => {
      await tab.mouse.down({button});
      await tab.mouse.up({button});
    };
    // During a left drag they do not stop it: back at the press point, the
    // camera is the one of the press.
    await drag(tab, 'left', [400, 300], [460, 320], async () => {
      assert.notDeepEqual(await tab.evaluate(() => latticeview.camera()), [0, 0, 100, 0, 0]);
      await click('back');
      await click('forward');
      const box = await (await tab.$('#world')).boundingBox();
      await tab.mouse.move(box.x + 400, box.y + 300, {steps: 3});
      await waitFrames(tab);
      assert.deepEqual(await tab.evaluate(() => latticeview.camera()), [0, 0, 100, 0, 0]);
    });
    await click('back');
    await click('forward');
    assert.equal((await reportText(tab)).saved, firstReports(2));
    assert.equal(tab.url(), url);
    assert.deepEqual(dialogs, []);

    const prompted = new Promise((resolve) => tab.once('dialog', resolve));
    await tab.close({runBeforeUnload: true});
    await prompted;
    assert.deepEqual(dialogs, ['beforeunload']);
    assert.equal((await reportText(tab)).saved, firstReports(2));

    answer = 'accept';  // leave, should a prompt come where none is due
    await tab.click('#save');  // then no prompt
    await tab.reload();
    await tab.waitForFunction(() => latticeview.running(), {timeout: 30000});
    await pressKeys(tab, ['KeyX']);  // no report, but the user's touch that a prompt needs
    await tab.reload();
    assert.deepEqual(dialogs, ['beforeunload']);
    await tab.close();
  });

  await t.test('without WebGL the page says so in place of the canvas; keys and reports still work', async () => {
    const bare = await openPage(browser, PAGE, {
      beforeLoad: () => {
        const getContext = HTMLCanvasElement.prototype.getContext;
        HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
          return /webgl/.test(kind) ? null : getContext.call(this, kind, ...rest);
        };
      },
    });
    assert.equal(await bare.$eval('#no-webgl', (p) => !p.hidden && p.offsetHeight > 0), true);
    assert.equal(await bare.$eval('#world', (c) => c.hidden), true);
    await pressKeys(bare, ['f', 'f']);
    assert.equal((await reportText(bare)).saved, firstReports(2));
    await bare.close();
  });

  await t.test('at a device pixel ratio of 2 the drawing buffer doubles and the picture keeps its layout', async () => {
    const sharp = await openPage(browser, PAGE, {pixelRatio: 2});
    await waitFrames(sharp);
    assert.deepEqual(await sharp.$eval('#world', (c) => [c.width, c.height, c.clientWidth, c.clientHeight]),
      [1600, 1200, 800, 600]);
    const shown = await canvasPicture(sharp);
    assert.deepEqual([shown.width, shown.height], [1600, 1200]);
    // Every CSS pixel is a block of 2 x 2 device pixels of one colour.
    const sampled = {width: 800, height: 600, rgb: Buffer.alloc(800 * 600 * 3)};
    const mixed = [];
    for (let y = 0; y < 600; y++) {
      for (let x = 0; x < 800; x++) {
        const corner = (2 * y * 1600 + 2 * x) * 3;
        shown.rgb.copy(sampled.rgb, (y * 800 + x) * 3, corner, corner + 3);
        for (const at of [corner + 3, corner + 1600 * 3, corner + 1601 * 3])
          if (shown.rgb.compare(shown.rgb, corner, corner + 3, at, at + 3) !== 0) mixed.push(`${x},${y}`);
      }
    }
    assert.deepEqual(mixed.slice(0, 8), [], `${mixed.length} CSS pixels are not one colour`);
    await assertPicture(sharp, 'startup', sampled);
    await sharp.close();
  });
});

test('the page in Firefox: keys, reports, q, a snapshot', {skip: !process.env.LBM_FIREFOX_TEST && 'LBM_FIREFOX_TEST is not set'}, async (t) => {
  const downloads = temporaryDirectory(t, 'downloads');
  const browser = await launchFirefox({downloads});
  t.after(() => browser.close());
  const page = await openPage(browser, PAGE);
  const expected = expectedReports(STEPS);
  assert.equal(await page.$eval('#no-webgl', (p) => p.hidden), true, 'WebGL is there');
  await waitFrames(page);
  await page.click('#save-snapshot');
  assert.equal(sha256(await downloaded(downloads, snapshotName(0))), GOLDEN_SNAPSHOTS.get(snapshotName(0)));
  await page.evaluate(() => document.activeElement.blur());  // Enter below is a key for the page
  await pressKeys(page, ['Escape', 'KeyA', 'Enter', 'ArrowLeft', 'KeyX']);
  await page.keyboard.down('Shift');
  await page.keyboard.press('KeyF');
  await page.keyboard.up('Shift');
  await pressKeys(page, Array(STEPS - 1).fill('f'));
  const text = await reportText(page);
  assert.equal(text.saved, expected);
  assert.equal(text.shown, expected);
  await assertPicture(page, 'stepped');
  await pressKeys(page, ['q', 'f']);
  assert.equal(await page.evaluate(() => latticeview.ended()), true);
  assert.match(await page.$eval('#status', (s) => s.textContent), /ended with exit status 1\b/);
  assert.equal((await reportText(page)).saved, expected);
});
