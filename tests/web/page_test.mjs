// The page in headless Chromium, as a user meets it: its pictures against the
// window's reference pictures at the same cameras (the same drags), its keys,
// its reports byte for byte (shown, logged and saved), q, a lost WebGL
// context, a browser without WebGL, high-density screens, its buttons, the
// wheel, touch, smaller screens, the snapshots it saves (against the golden
// SHA-256 of lbm_trace's), the mouse's back and forward buttons and the
// prompt before leaving unsaved reports; the picture it saves, the film it
// records (read back with ffprobe), the plot of the probes' values; another
// run: a snapshot opened and continued, files refused, parameters from a
// link and from the form (against lbm_trace).
//
// The part of keys and text runs in Firefox too, with a snapshot, a saved
// picture, a film, a snapshot continued and a link with parameters, when
// LBM_FIREFOX_TEST is set (Firefox needs an X display for WebGL: DISPLAY).
//
// usage: node page_test.mjs PAGE LBM_TRACE
//   PAGE       the page (build/web/latticeview.html)
//   LBM_TRACE  lbm_trace, native or WebAssembly (a .js file runs with node):
//              the reports of N steps from start-up, its snapshots, resumed
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import {createHash} from 'node:crypto';
import {mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync} from 'node:fs';
import {createRequire} from 'node:module';
import {tmpdir} from 'node:os';
import {dirname, join} from 'node:path';
import {test} from 'node:test';
import {fileURLToPath} from 'node:url';
import {canvasPicture, launchChromium, launchFirefox, openPage, waitFrames} from '../../browsers/browser.mjs';
import {readPng, readPpm} from '../../browsers/picture.mjs';
import {TOLERANCE, differingPixels, expectedReports, referencePicture, traceOutput, traceRefusal} from './expected.mjs';

const [PAGE, LBM_TRACE] = process.argv.slice(2);
if (!PAGE || !LBM_TRACE) {
  console.error('usage: node page_test.mjs PAGE LBM_TRACE');
  process.exit(2);
}
const STEPS = 60;     // as the window's test: the reference pictures are of 60 steps
const FAST_PRESSES = 2000;

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
const stepText = (step) => String(step).padStart(6, '0');
const snapshotName = (step) => `lattice_${stepText(step)}.vti`;
const pictureName = (step) => `frame_${stepText(step)}.png`;
const filmName = (first, last) => `film_${stepText(first)}-${stepText(last)}.webm`;
const sha256 = (bytes) => createHash('sha256').update(bytes).digest('hex');

// The frames of the film FILE, as ffprobe reads them: their number and
// times (s). Fails unless it is VP8 or VP9 (WebM) at 800 x 600.
function filmFrames(file) {
  const probe = JSON.parse(execFileSync('ffprobe', ['-v', 'error', '-count_frames', '-select_streams', 'v:0',
    '-show_entries', 'stream=codec_name,width,height,nb_read_frames:frame=pts_time', '-of', 'json', file], {encoding: 'utf8'}));
  const stream = probe.streams[0];
  assert.match(stream.codec_name, /^vp[89]$/);
  assert.deepEqual([stream.width, stream.height], [800, 600]);
  return {frames: Number(stream.nb_read_frames), times: probe.frames.map((frame) => Number(frame.pts_time))};
}

// lbm_trace's snapshot of step 140 (inf appears at step 140, -nan at 144)
// in a new directory, and copies of it that are no snapshots: a byte of its
// text changed, its last byte cut off, and one too large to be a snapshot,
// each with the reason lbm_trace gives for it; and `resumed(n)`, the reports
// of `lbm_trace --resume` for n steps from it.
function snapshotsToOpen(t) {
  const directory = temporaryDirectory(t, 'snapshots');
  traceOutput(LBM_TRACE, ['--vtk', directory, '--every', '140', '140']);
  const file = join(directory, snapshotName(140));
  const bytes = readFileSync(file);
  const edited = Buffer.from(bytes);
  edited[bytes.indexOf('ImageData') + 8] = 'b'.charCodeAt(0);
  const copies = {edited, cut: bytes.subarray(0, bytes.length - 1), large: Buffer.concat([bytes, Buffer.alloc(2000, ' ')])};
  const refused = Object.entries(copies).map(([name, data]) => {
    const path = join(directory, `${name}.vti`);
    writeFileSync(path, data);
    return {name: `${name}.vti`, data, reason: traceRefusal(LBM_TRACE, path)};
  });
  return {file, bytes, refused, resumed: (n) => traceOutput(LBM_TRACE, ['--resume', file, String(n)])};
}

// Drops the file NAME holding DATA onto the picture, as a file dragged there
// from elsewhere, and waits until the page has opened or refused it.
async function dropFile(page, name, data) {
  await page.$eval('#world', (world, name, base64) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))], name));
    world.dispatchEvent(new DragEvent('drop', {bubbles: true, cancelable: true, dataTransfer: transfer}));
  }, name, data.toString('base64'));
  await page.evaluate(() => latticeview.opening());
}

const statusText = (page) => page.$eval('#status', (s) => s.textContent);
const openedText = (name, step) => `Opened '${name}': the run goes on from step ${step} with tau 0.56, spacing 0.5, ` +
  'source 49,49 and source-value 0.42; the reports start again there.';

// Fails with the first differing pixels when the canvas differs from the
// window's reference picture NAME.
async function assertPicture(page, name, picture = null) {
  await waitFrames(page);
  const shown = picture || await canvasPicture(page);
  const reference = referencePicture(name);
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

// axe-core's WCAG 2.2 A and AA rules and its best practices, run in the
// page: what they find, one line each ([] where nothing).
const AXE = readFileSync(createRequire(new URL('../../browsers/', import.meta.url)).resolve('axe-core/axe.min.js'), 'utf8');
async function axeViolations(page) {
  if (!await page.evaluate(() => typeof axe !== 'undefined')) await page.addScriptTag({content: AXE});
  return page.evaluate(async () => {
    const result = await axe.run(document, {runOnly: {type: 'tag',
      values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22a', 'wcag22aa', 'best-practice']}});
    return result.violations.map((v) => `${v.id} (${v.impact}): ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
  });
}

// Waits until the page has laid itself out and drawn after a change: the
// browser's next two frames (a new viewport size, or a new size of what the
// layout measures, is told to the page at a frame), then its ticks.
async function settle(page) {
  await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
  await waitFrames(page);
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
  const golden = expectedReports(LBM_TRACE, FAST_PRESSES);
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

  await t.test('Save the picture saves the pixels shown, named by the step: the window\'s picture after 60 steps', async () => {
    const downloads = await allowDownloads(t, page);
    await page.click('#save-picture');
    const saved = readPng(await downloaded(downloads, pictureName(STEPS)));
    assert.equal(differingPixels(saved, await canvasPicture(page), 0).length, 0);
    await assertPicture(page, 'stepped', saved);
    assert.equal(await page.$eval('#status', (s) => s.textContent), `Running: ${STEPS} steps. Saved the picture as ${pictureName(STEPS)}.`);
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
      window.restoreContext = () => extension.restoreContext();
    });
    await page.waitForFunction(() => latticeview.counts.contextsLost === 1, {timeout: 10000});
    assert.deepEqual(await page.evaluate(() => [!document.getElementById('lost-context').hidden,
      document.getElementById('status').textContent]), [true,
      `The browser took the graphics away; waiting for them to come back. Running: ${STEPS} steps. Saved the picture as ${pictureName(STEPS)}.`]);
    assert.deepEqual(await axeViolations(page), [], 'with a lost context');
    await page.evaluate(() => window.restoreContext());
    await page.waitForFunction(() => latticeview.counts.contextsRestored === 1, {timeout: 10000});
    assert.deepEqual(await page.evaluate(() => [document.getElementById('lost-context').hidden,
      document.getElementById('status').textContent]), [true, `The browser gave the graphics back. Running: ${STEPS} steps. Saved the picture as ${pictureName(STEPS)}.`]);
    assert.deepEqual(await axeViolations(page), [], 'with a context lost and restored');
    await assertPicture(page, 'zoomed');
  });

  await t.test(`${FAST_PRESSES} presses of f in all: every report exact, shown, and saved as the same bytes; the plot drawn once a tick at most`, async () => {
    const counts = () => page.evaluate(() => [latticeview.counts.plotDraws, latticeview.counts.ticks]);
    const before = await counts();
    await pressKeys(page, Array(FAST_PRESSES - STEPS).fill('f'));
    const text = await reportText(page);
    assert.equal(text.saved, golden);
    assert.equal(text.shown, golden);
    const after = await counts();
    assert.ok(after[0] > before[0] && after[0] - before[0] <= after[1] - before[1], `plot draws and ticks: ${before} -> ${after}`);
    assert.equal(await page.evaluate(() => latticeview.plotSteps()), FAST_PRESSES);

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

  await t.test('Open a snapshot continues lbm_trace\'s of step 140 as lbm_trace --resume does; a damaged or too large file is refused with lbm_trace\'s reason and the run goes on; reports not saved are asked for', async () => {
    const snapshots = snapshotsToOpen(t);
    const opening = await openPage(browser, PAGE);
    const downloads = await allowDownloads(t, opening);
    const dialogs = [];
    let answer = 'dismiss';
    opening.on('dialog', (dialog) => {
      dialogs.push(dialog.type());
      dialog[answer]();
    });
    const [chooser] = await Promise.all([opening.waitForFileChooser(), opening.click('#open')]);
    await chooser.accept([snapshots.file]);
    await opening.waitForFunction(() => /Opened/.test(document.getElementById('status').textContent), {timeout: 10000});
    assert.equal(await statusText(opening), `Running: 140 steps. ${openedText(snapshotName(140), 140)}`);
    await pressKeys(opening, Array(10).fill('f'));
    const text = await reportText(opening);
    assert.equal(text.saved, snapshots.resumed(10));
    assert.equal(text.shown, text.saved);
    assert.equal(await opening.evaluate(() => latticeview.plotSteps()), 10);
    await opening.click('#save-snapshot');
    assert.equal(sha256(await downloaded(downloads, snapshotName(150))), GOLDEN_SNAPSHOTS.get(snapshotName(150)));
    await opening.click('#save');
    assert.equal((await downloaded(downloads, 'latticeview-reports.txt')).toString('latin1'), snapshots.resumed(10));
    for (const {name, data, reason} of snapshots.refused) {
      await dropFile(opening, name, data);
      assert.equal(await statusText(opening), `Running: 150 steps. '${name}' is not a latticeview snapshot: ${reason}. The run goes on.`);
    }
    await pressKeys(opening, ['f']);
    assert.equal((await reportText(opening)).saved, snapshots.resumed(11));
    // A report not saved: opening asks first, and, told no, keeps the run.
    assert.deepEqual(dialogs, []);
    await dropFile(opening, snapshotName(140), snapshots.bytes);
    assert.deepEqual(dialogs, ['confirm']);
    assert.equal(await statusText(opening), `Running: 151 steps. '${snapshotName(140)}' was not opened: the run goes on.`);
    answer = 'accept';
    await dropFile(opening, snapshotName(140), snapshots.bytes);
    await pressKeys(opening, ['f']);
    assert.equal((await reportText(opening)).saved, snapshots.resumed(1));
    assert.deepEqual(dialogs, ['confirm', 'confirm']);
    // A snapshot at the last step that the page counts: it goes on from
    // there, and takes no more steps.
    const last = Buffer.from(snapshots.bytes.toString('latin1').replace('format="ascii">140<', 'format="ascii">2147483647<'),
      'latin1');
    await dropFile(opening, 'last.vti', last);
    await pressKeys(opening, ['f']);
    assert.equal(await statusText(opening), 'Running: 2147483647 steps. No more steps: the run has taken as many as the page can count.');
    assert.equal((await reportText(opening)).saved, '');
    assert.deepEqual(opening.messages.filter((m) => m.type === 'error' || m.type === 'pageerror'), []);
    await opening.close();
  });

  await t.test('a link with parameters runs as lbm_trace with those options, and its snapshot resumes in lbm_trace as the page\'s run; the form restarts; values refused are named and change nothing', async () => {
    const options = ['--tau', '0.6', '--source', '10,20'];
    const linked = await openPage(browser, PAGE, {search: '?tau=0.6&source=10,20'});
    const downloads = await allowDownloads(t, linked);
    const dialogs = [];
    linked.on('dialog', (dialog) => {
      dialogs.push(dialog.type());
      dialog.accept();
    });
    assert.equal(await linked.$eval('h1', (h) => h.textContent), 'latticeview (tau 0.6 and source 10,20)');
    await pressKeys(linked, Array(20).fill('f'));
    assert.equal((await reportText(linked)).saved, traceOutput(LBM_TRACE, [...options, '20']));
    await linked.click('#save-snapshot');
    const directory = temporaryDirectory(t, 'parameters');
    traceOutput(LBM_TRACE, [...options, '--vtk', directory, '--every', '20', '20']);
    const saved = await downloaded(downloads, snapshotName(20));
    assert.ok(saved.equals(readFileSync(join(directory, snapshotName(20)))), 'the page\'s snapshot is lbm_trace\'s');
    assert.equal(traceOutput(LBM_TRACE, ['--resume', join(downloads, snapshotName(20)), '10']),
      traceOutput(LBM_TRACE, [...options, '30']).split('\n').slice(20 * 11).join('\n'));

    // The form: typed values, Restart with these (asking first for the 20
    // reports not saved); the address then names them.
    await linked.click('#settings summary');
    await linked.click('#parameter-tau', {clickCount: 3});
    await linked.keyboard.type('0x1.8p-1');
    await linked.$eval('#parameter-spacing', (input) => { input.value = '0.4'; });
    await linked.click('#restart');
    assert.deepEqual(dialogs, ['confirm']);
    await pressKeys(linked, Array(5).fill('f'));
    const restarted = ['--tau', '0x1.8p-1', '--spacing', '0.4', '--source', '10,20'];
    assert.equal((await reportText(linked)).saved, traceOutput(LBM_TRACE, [...restarted, '5']));
    assert.equal(new URL(linked.url()).search, '?tau=0.75&spacing=0.4&source=10,20');
    assert.equal(await linked.$eval('h1', (h) => h.textContent), 'latticeview (tau 0.75, spacing 0.4 and source 10,20)');
    // Values refused: named, marked, and the run goes on as it was.
    await linked.$eval('#parameter-spacing', (input) => { input.value = '-1'; });
    await linked.$eval('#parameter-source', (input) => { input.value = '50,1'; });
    await linked.click('#restart');
    assert.equal(await statusText(linked), 'Running: 5 steps. Not restarted: Invalid spacing \'-1\' for spacing ' +
      '(a finite number greater than 0). Invalid source cell \'50,1\' for source (X,Y or X,Y,LAYER: column X and row Y ' +
      'from 0 to 49, LAYER 0).');
    assert.deepEqual(await linked.$$eval('#parameters input', (inputs) => inputs.map((i) => i.getAttribute('aria-invalid'))),
      ['false', 'true', 'true', 'false']);
    await pressKeys(linked, ['f']);
    assert.equal((await reportText(linked)).saved, traceOutput(LBM_TRACE, [...restarted, '6']));
    assert.deepEqual(dialogs, ['confirm']);

    // An address with values refused: named, and the run from start-up.
    const refused = await openPage(browser, PAGE, {search: '?tau=0&spacing=0.5&colour=red'});
    assert.equal(await statusText(refused), 'Running: 0 steps. The address\'s parameters were not taken: Invalid relaxation ' +
      'time \'0\' for tau (a finite number greater than 0, whose reciprocal is a finite float). \'colour\' is not a ' +
      'parameter (tau, spacing, source, source-value). This run has the start-up parameters.');
    assert.equal(await refused.$eval('h1', (h) => h.textContent), 'latticeview');
    assert.deepEqual(await axeViolations(refused), [], 'the settings open, with values refused');
    await pressKeys(refused, ['f', 'f']);
    assert.equal((await reportText(refused)).saved, firstReports(2));
    await refused.close();
    await linked.close();
  });

  await t.test('Record films the picture: a frame at the start, at each step and drag and at Stop, none while idle', async () => {
    const filming = await openPage(browser, PAGE);
    const downloads = await allowDownloads(t, filming);
    await filming.click('#record');
    for (let i = 0; i < 3; i++) {
      await filming.keyboard.press('f');
      await waitFrames(filming);
    }
    await drag(filming, 'left', [400, 300], [460, 320]);
    const asked = await filming.evaluate(() => latticeview.counts.filmFrames);
    await filming.evaluate(() => new Promise((resolve) => setTimeout(resolve, 1500)));
    assert.equal(await filming.evaluate(() => latticeview.counts.filmFrames), asked, 'no frame asked for while idle');
    const last = await canvasPicture(filming);
    await filming.click('#record');
    const film = join(downloads, filmName(0, 3));
    await downloaded(downloads, filmName(0, 3));
    const {frames, times} = filmFrames(film);
    // The recorder may merge frames asked for in quick succession (the
    // drag's), but adds none: the idle time is one frame's, the last before Stop.
    assert.ok(frames >= 5 && frames <= asked + 1, `${frames} frames of ${asked + 1} asked for`);
    assert.ok(times.at(-1) - times.at(-2) >= 1.4, `the frames' times: ${times}`);
    // Its last frame is the picture shown, within the film's lossy coding:
    // the points' pixels are lit and the rest dark.
    const ppms = execFileSync('ffmpeg', ['-v', 'error', '-i', film, '-fps_mode', 'passthrough', '-f', 'image2pipe', '-vcodec', 'ppm', '-'],
      {maxBuffer: 1 << 28});
    const frame = readPpm(ppms.subarray(ppms.length - ppms.length / frames));
    const lit = (picture, i) => Math.max(...picture.rgb.subarray(3 * i, 3 * i + 3)) > 60;
    let differing = 0;
    let shownLit = 0;
    for (let i = 0; i < 800 * 600; i++) {
      if (lit(last, i)) shownLit++;
      if (lit(last, i) !== lit(frame, i)) differing++;
    }
    assert.ok(shownLit > 2000 && differing < shownLit / 10, `${differing} of ${shownLit} lit pixels differ`);
    await filming.close();
  });

  await t.test('the plot: each probe\'s values at every step, inf and nan marked from where they begin; Save the plot; idle, nothing drawn', async () => {
    const plotting = await openPage(browser, PAGE);
    const downloads = await allowDownloads(t, plotting);
    const n = 150;
    await pressKeys(plotting, Array(n).fill('f'));
    await waitFrames(plotting);
    // The values kept are those printed: inf, -nan, or within the last digit.
    const printed = firstReports(n).split('\n\n').slice(0, n)
      .map((report) => report.split('\n').map((line) => line.split(': ')[1].split(' / ')));
    const kept = await plotting.evaluate((n) => Array.from({length: n}, (_, s) => Array.from({length: 10},
      (_, k) => [0, 1].map((which) => String(latticeview.plotValue(s + 1, k, which))))), n);
    assert.equal(await plotting.evaluate(() => latticeview.plotSteps()), n);
    for (let s = 0; s < n; s++) {
      for (let k = 0; k < 10; k++) {
        for (const which of [0, 1]) {
          const text = printed[s][k][which];
          const value = kept[s][k][which];
          const special = {'inf': 'Infinity', '-inf': '-Infinity', '-nan': 'NaN'}[text];
          const same = special ? value === special : Math.abs(Number(text) - Number(value)) <= 5e-7 + Math.abs(Number(value)) * 1e-15;
          assert.ok(same, `step ${s + 1}, probe ${k}: printed ${text}, kept ${value}`);
        }
      }
    }
    // Where the plot is inked: the bands' rows at each step's centre, and
    // the lines where the values lie.
    const marks = (which) => plotting.evaluate((n, which) => {
      const canvas = document.getElementById('plot');
      const g = latticeview.plotGeometry();
      const ratio = canvas.width / canvas.clientWidth;
      const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
      const inked = (x, y, reach = 0) => {
        for (let dx = -reach; dx <= reach; dx++) {
          for (let dy = -reach; dy <= reach; dy++) {
            const i = (Math.floor((y + dy) * ratio) * canvas.width + Math.floor((x + dx) * ratio)) * 4;
            if (data[i] < 240 || data[i + 1] < 240 || data[i + 2] < 240) return true;
          }
        }
        return false;
      };
      const wrong = [];
      for (let k = 0; k < 10; k++) {
        for (let s = 1; s <= n; s++) {
          const v = latticeview.plotValue(s, k, which);
          const bands = [inked(g.x(s), g.infTop + 2 * k + 1), inked(g.x(s), g.nanTop + 2 * k + 1)];
          if (bands[0] !== (Math.abs(v) === Infinity) || bands[1] !== Number.isNaN(v)) wrong.push(`probe ${k} step ${s}: ${v} ${bands}`);
          if ([60, 80, 100, 120, 135].includes(s) && !inked(g.x(s), g.y(v), 1)) wrong.push(`probe ${k} step ${s}: no line at ${v}`);
        }
      }
      if (inked(g.x(20), g.y(1e20), 2)) wrong.push('a line where no value is');
      return wrong;
    }, n, which);
    assert.deepEqual(await marks(0), []);
    await plotting.click('#plot-population');
    await waitFrames(plotting);
    assert.deepEqual(await marks(1), []);

    // The plot saved is the plot shown.
    await plotting.click('#save-plot');
    const saved = readPng(await downloaded(downloads, `probes_population_${stepText(n)}.png`));
    const [width, height, base64] = await plotting.$eval('#plot', (canvas) => {
      const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
      let text = '';
      for (let i = 0; i < data.length; i += 4) text += String.fromCharCode(data[i], data[i + 1], data[i + 2]);
      return [canvas.width, canvas.height, btoa(text)];
    });
    assert.equal(differingPixels(saved, {width, height, rgb: Buffer.from(base64, 'base64')}, 0).length, 0);

    // Idle, with the plot shown: no tick, no frame, no drawing of the plot.
    const counts = () => plotting.evaluate(() => [latticeview.counts.ticks, latticeview.counts.frames, latticeview.counts.plotDraws]);
    await waitFrames(plotting);
    const idle = await counts();
    await plotting.evaluate(() => new Promise((resolve) => setTimeout(resolve, 1000)));
    assert.deepEqual(await counts(), idle);
    await plotting.close();
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

  await t.test('without WebGL the page says so in place of the canvas, and offers no picture to save or film; keys and reports still work', async () => {
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
    assert.deepEqual(await bare.$$eval('#save-picture, #record', (b) => b.map((e) => e.disabled)), [true, true]);
    await pressKeys(bare, ['f', 'f']);
    assert.equal((await reportText(bare)).saved, firstReports(2));
    await bare.close();
  });

  await t.test('at a device pixel ratio of 2 the drawing buffer doubles and the picture keeps its layout', async () => {
    const sharp = await openPage(browser, PAGE, {pixelRatio: 2});
    const downloads = await allowDownloads(t, sharp);
    await waitFrames(sharp);
    assert.deepEqual(await sharp.$eval('#world', (c) => [c.width, c.height, c.clientWidth, c.clientHeight]),
      [1600, 1200, 800, 600]);
    const shown = await canvasPicture(sharp);
    assert.deepEqual([shown.width, shown.height], [1600, 1200]);
    await sharp.click('#save-picture');
    assert.equal(differingPixels(readPng(await downloaded(downloads, pictureName(0))), shown, 0).length, 0);
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

  await t.test('Step, End and Save the reports: Tab reaches them, Enter and Space press them, a held Step repeats', async () => {
    const controls = await openPage(browser, PAGE);
    const stepsTaken = () => controls.evaluate(() => latticeview.counts.steps);
    const focused = () => controls.evaluate(() => document.activeElement.id);
    await controls.keyboard.press('Tab');
    assert.equal(await focused(), 'world');  // the picture first: its keys move the camera
    await controls.keyboard.press('Tab');
    assert.equal(await focused(), 'step');
    await pressKeys(controls, ['Enter', 'Space', 'f']);
    assert.equal(await stepsTaken(), 3);
    await controls.click('#step');
    assert.equal(await stepsTaken(), 4);
    // Held: steps until released, then no more; after half a second, about
    // 30 times a second. Held 4 s: more than 13 a second after the first half
    // second, which a step every 100 ms cannot give (a timer never comes
    // early) and one every 33 ms gives while late by up to 40 ms (a busy
    // machine).
    const box = await (await controls.$('#step')).boundingBox();
    await controls.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
    await controls.mouse.down();
    const [heldMs, repeated] = await controls.evaluate(() => new Promise((resolve) => {
      const [start, steps] = [performance.now(), latticeview.counts.steps];
      setTimeout(() => resolve([performance.now() - start, latticeview.counts.steps - steps]), 4000);
    }));
    await controls.mouse.up();
    assert.ok(repeated > (heldMs - 500) / 75, `${repeated} steps repeated in ${heldMs} ms held`);
    const held = await stepsTaken();
    await controls.evaluate(() => new Promise((resolve) => setTimeout(resolve, 200)));
    assert.equal(await stepsTaken(), held);
    assert.equal((await reportText(controls)).saved, firstReports(held));
    // The status says the steps of a held Step at most once a second: then the last.
    await controls.waitForFunction((n) => document.getElementById('status').textContent === `Running: ${n} steps.`,
      {timeout: 5000, polling: 20}, held);
    const order = [];
    for (let i = 0; i < 6; i++) {
      await controls.keyboard.press('Tab');
      order.push(await focused());
    }
    assert.deepEqual(order, ['end', 'zoom-in', 'zoom-out', 'record', 'open', 'save']);
    await controls.focus('#end');
    await controls.keyboard.press('Enter');
    assert.equal(await controls.evaluate(() => latticeview.ended()), true);
    // Everything that saves, and Record, still acts after q; nothing opens.
    assert.deepEqual(await controls.$$eval('#controls button, #restart', (b) => b.map((e) => [e.id, e.disabled])),
      [['step', true], ['end', true], ['zoom-in', true], ['zoom-out', true], ['record', false], ['saves-toggle', false],
        ['open', true], ['save', false], ['save-snapshot', false], ['save-picture', false], ['restart', true]]);
    assert.equal(await focused(), 'save', 'the focus leaves End for what still acts');
    await controls.close();
  });

  await t.test('f, q and quick find\'s keys are the page\'s; F-keys, Escape, Backspace and the keys that scroll are the browser\'s', async () => {
    const small = await openPage(browser, PAGE, {width: 700, height: 500});
    assert.ok(await small.evaluate(() => document.documentElement.scrollHeight > innerHeight), 'the page can scroll');
    await small.evaluate(() => {
      window.prevented = [];
      window.addEventListener('keydown', (e) => window.prevented.push([e.key, e.defaultPrevented]));
    });
    // Until `test` holds and the page's scrolling has come to rest (a key
    // pressed during a smooth scroll may join it).
    const scrolled = async (test) => {
      await small.waitForFunction(test, {timeout: 10000, polling: 20});
      await small.evaluate(() => new Promise(function rest(resolve, _, last = NaN) {
        if (scrollY === last) resolve(); else setTimeout(() => rest(resolve, _, scrollY), 100);
      }));
    };
    await pressKeys(small, ['Slash', 'Quote', 'KeyF', 'Escape', 'Backspace', 'Space']);
    await scrolled(() => scrollY > 0);
    await pressKeys(small, ['End']);
    await scrolled(() => scrollY === document.documentElement.scrollHeight - innerHeight);
    await pressKeys(small, ['Home']);
    await scrolled(() => scrollY === 0);
    await pressKeys(small, ['PageDown']);
    await scrolled(() => scrollY > 0);
    await pressKeys(small, ['Home', 'ArrowDown']);
    await scrolled(() => scrollY > 0);
    await small.keyboard.down('Control');
    await small.keyboard.press('KeyF');
    await small.keyboard.up('Control');
    await small.keyboard.press('Tab');
    assert.deepEqual(await small.evaluate(() => [window.prevented, latticeview.counts.steps]), [[
      ['/', true], ["'", true], ['f', true], ['Escape', false], ['Backspace', false], [' ', false], ['End', false],
      ['Home', false], ['PageDown', false], ['Home', false], ['ArrowDown', false],
      ['Control', false], ['f', false], ['Tab', false]], 1]);
    // F-keys, by their default not being prevented (pressed for real, F5
    // would reload the page).
    const fKeys = ['F1', 'F3', 'F5', 'F6', 'F7', 'F11', 'F12'];
    assert.deepEqual(await small.evaluate((keys) => keys.map((key) => document.body.dispatchEvent(
      new KeyboardEvent('keydown', {key, code: key, bubbles: true, cancelable: true}))), fKeys), fKeys.map(() => true));
    await small.close();
  });

  await t.test('the wheel zooms a tenth a notch, out undoing in; a pinch by its scale; an event at most three notches; within the bounds; not the page', async () => {
    const wheel = await openPage(browser, PAGE, {width: 1000, height: 600});
    const box = await (await wheel.$('#world')).boundingBox();
    await wheel.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
    const distance = async () => (await wheel.evaluate(() => latticeview.camera()))[2];
    // Events made here, as other engines and devices send them; false: the
    // page does not zoom or scroll.
    const send = (...inits) => wheel.$eval('#world', (c, inits) => inits.map((init) => c.dispatchEvent(
      new WheelEvent('wheel', {bubbles: true, cancelable: true, ...init}))), inits);
    await wheel.mouse.wheel({deltaY: -120});  // Chromium's notch up: closer by a tenth
    assert.equal(await distance(), 90);
    await wheel.mouse.wheel({deltaY: 120});
    assert.equal(await distance(), 100);
    assert.deepEqual(await send({deltaY: -3, deltaMode: 1}), [false]);  // lines
    assert.equal(await distance(), 90);
    await send({deltaY: 1, deltaMode: 2});  // a page
    assert.equal(await distance(), 100);
    // A trackpad's small steps add up to the notch they make.
    await send(...Array(4).fill({deltaY: -30}));
    assert.ok(Math.abs(await distance() - 90) < 1e-3, `${await distance()}`);
    // A trackpad's pinch to twice the spread, in ten events, halves the distance.
    const before = await distance();
    const step = -100 * Math.log(2) / 10;
    assert.deepEqual(await send(...Array(10).fill({deltaY: step, ctrlKey: true})), Array(10).fill(false));
    let expected = before;
    for (let i = 0; i < 10; i++) expected = Math.fround(expected * Math.exp(step / 100));
    assert.equal(await distance(), expected);
    assert.ok(Math.abs(expected - before / 2) < 1e-3, `${before} -> ${expected}`);
    // Ctrl with the wheel's whole notch is the notch, not a pinch of e^1.2.
    await wheel.keyboard.down('Control');
    await wheel.mouse.wheel({deltaY: 120});
    await wheel.keyboard.up('Control');
    assert.equal(await distance(), Math.fround(expected / 0.9));
    // A flick in one event zooms three notches, no more.
    const flicked = await distance();
    await send({deltaY: 2000});
    assert.ok(Math.abs(await distance() / flicked - 1 / 0.729) < 1e-6, `${flicked} -> ${await distance()}`);
    // Safari's pinch: gesture events with the scale since the gesture began.
    const pinched = await distance();
    assert.deepEqual(await wheel.$eval('#world', (c) => [['gesturestart', 1], ['gesturechange', 1.2], ['gesturechange', 1.45],
      ['gesturechange', 1.7], ['gesturechange', 2], ['gestureend', 2]].map(([type, scale]) => {
      const event = new Event(type, {bubbles: true, cancelable: true});
      Object.defineProperty(event, 'scale', {value: scale});
      return c.dispatchEvent(event);
    })), Array(6).fill(false));
    assert.ok(Math.abs(await distance() - pinched / 2) < 1e-3, `${pinched} -> ${await distance()}`);
    for (let i = 0; i < 60; i++) await wheel.mouse.wheel({deltaY: -300});
    assert.equal(await distance(), 1);
    for (let i = 0; i < 140; i++) await wheel.mouse.wheel({deltaY: 1000});
    assert.equal(await distance(), 10000);
    assert.equal(await wheel.evaluate(() => scrollY), 0);
    await wheel.close();
  });

  await t.test('touch: one finger orbits, two pinch and pan, and a finger added or lifted never jumps', async () => {
    const touch = await openPage(browser, PAGE, {hasTouch: true});
    const box = await (await touch.$('#world')).boundingBox();
    const at = (x, y) => [box.x + x, box.y + y];
    const camera = async () => { await waitFrames(touch); return touch.evaluate(() => latticeview.camera()); };
    // One finger as the left drag of the window's test: its picture.
    const one = await touch.touchscreen.touchStart(...at(400, 300));
    await one.move(...at(430, 310));
    await one.move(...at(460, 320));
    await assertPicture(touch, 'dragged');
    const orbited = await camera();
    // A second finger: nothing moves until the fingers do.
    const two = await touch.touchscreen.touchStart(...at(560, 320));
    assert.deepEqual(await camera(), orbited);
    await two.move(...at(610, 320));  // spread from 100 to 200 px about the same midpoint: half the distance
    await one.move(...at(410, 320));
    let pinched = await camera();
    assert.deepEqual(pinched.slice(0, 2), orbited.slice(0, 2));
    assert.equal(pinched[2], Math.fround(orbited[2] / 2));
    const halved = pinched;
    // Both move down together: a pan (the window's right drag); the distance stays.
    await one.move(...at(410, 380));
    await two.move(...at(610, 380));
    const panned = await camera();
    assert.equal(panned[2], pinched[2]);
    assert.notDeepEqual(panned.slice(3), pinched.slice(3));
    // A finger lifted: the other goes on orbiting from here, without a jump.
    await two.end();
    assert.deepEqual(await camera(), panned);
    await one.move(...at(370, 380));
    pinched = await camera();
    assert.notEqual(pinched[1], panned[1]);
    await one.end();
    assert.equal(await touch.evaluate(() => scrollY), 0);
    await touch.close();

    // The same gestures, with the last movement before each finger change
    // made just before it, in the same task: no tick has applied it, yet it
    // counts before the drag starts afresh.
    const quick = await openPage(browser, PAGE, {hasTouch: true});
    await quick.evaluate(() => {
      const world = document.getElementById('world');
      const fingers = [];  // pointer ids, in the order the fingers went down
      window.moveBeforeChange = null;  // [finger, x, y]: the move before the next finger change
      const beforeChange = (event) => {
        if (event.type === 'pointerdown') fingers.push(event.pointerId);
        if (window.moveBeforeChange === null) return;
        const [finger, x, y] = window.moveBeforeChange;
        window.moveBeforeChange = null;
        const box = world.getBoundingClientRect();
        world.dispatchEvent(new PointerEvent('pointermove', {bubbles: true, pointerType: 'touch',
          pointerId: fingers[finger], button: -1, buttons: 1, clientX: box.left + x, clientY: box.top + y}));
      };
      for (const type of ['pointerdown', 'pointerup']) window.addEventListener(type, beforeChange, {capture: true});
    });
    const moveBeforeChange = (...move) => quick.evaluate((m) => { window.moveBeforeChange = m; }, move);
    const quickCamera = async () => { await waitFrames(quick); return quick.evaluate(() => latticeview.camera()); };
    const first = await quick.touchscreen.touchStart(...at(400, 300));
    await first.move(...at(430, 310));
    await moveBeforeChange(0, 460, 320);
    const second = await quick.touchscreen.touchStart(...at(560, 320));
    assert.deepEqual(await quickCamera(), orbited, 'a finger put down');
    await second.move(...at(610, 320));
    await moveBeforeChange(0, 410, 320);
    await second.end();
    assert.deepEqual(await quickCamera(), halved, 'a finger lifted');
    await first.end();
    await quick.close();
  });

  await t.test('a movement made before a tick counts even when delivered with the release; one after it does not', async () => {
    const late = await openPage(browser, PAGE);
    const box = await (await late.$('#world')).boundingBox();
    // Both in one task: the move (made before the timer's last tick, or after
    // it) and the release.
    const moveAndRelease = (afterTick) => late.$eval('#world', async (c, afterTick) => {
      const event = (type, x, y, buttons) => new PointerEvent(type, {bubbles: true, pointerType: 'mouse',
        pointerId: 1, isPrimary: true, button: type === 'pointermove' ? -1 : 0, buttons, clientX: x, clientY: y});
      const box = c.getBoundingClientRect();
      let move = afterTick ? null : event('pointermove', box.left + 460, box.top + 320, 1);
      const since = performance.now();
      await new Promise(function wait(resolve) {
        if (latticeview.lastTick() > since) resolve(); else setTimeout(() => wait(resolve), 5);
      });
      if (afterTick) move = event('pointermove', box.left + 460, box.top + 320, 1);
      c.dispatchEvent(move);
      c.dispatchEvent(event('pointerup', box.left + 460, box.top + 320, 0));
    }, afterTick);
    for (const afterTick of [true, false]) {
      await late.mouse.move(box.x + 400, box.y + 300);
      await late.mouse.down();
      await moveAndRelease(afterTick);
      await late.mouse.up();
      if (afterTick) assert.deepEqual(await late.evaluate(() => latticeview.camera()), [0, 0, 100, 0, 0]);
    }
    await assertPicture(late, 'dragged');
    await late.close();
  });

  await t.test('at 1366 x 650 the picture, its controls, the status and the newest report are in view', async () => {
    const laptop = await openPage(browser, PAGE, {width: 1366, height: 650});
    for (let i = 0; i < 12; i++) {  // one report a frame: the last block shown is the newest report
      await laptop.keyboard.press('f');
      await waitFrames(laptop);
    }
    const inView = () => laptop.evaluate(() => ['#world', '#step', '#end', '#save', '#record', '#status', '#plot', '#save-plot',
      '#reports > span:last-child']
      .map((selector) => {
        const r = document.querySelector(selector).getBoundingClientRect();
        return [selector, r.top >= 0 && r.left >= 0 && r.bottom <= innerHeight && r.right <= innerWidth && r.height > 0];
      }).filter(([, shown]) => !shown).map(([selector]) => selector));
    assert.deepEqual(await inView(), []);
    assert.deepEqual(await laptop.$eval('#world', (c) => [c.clientWidth * 3, c.clientHeight * 4, c.width, c.clientWidth]),
      await laptop.$eval('#world', (c) => [c.clientHeight * 4, c.clientWidth * 3, c.clientWidth, c.width]));
    assert.equal(await laptop.evaluate(() => document.documentElement.scrollHeight <= innerHeight), true);
    await laptop.keyboard.press('q');
    assert.deepEqual(await inView(), []);
    assert.match(await laptop.$eval('#status', (s) => s.textContent), /^The program ended with exit status 1 after 12 steps/);
    await laptop.close();
  });

  await t.test('a smaller canvas draws and drags as the window resized to its size', async () => {
    const resized = await openPage(browser, PAGE);
    // The viewport's height at which the picture is 640 x 480, each size read
    // once the page has laid itself out again.
    let size = null;
    for (let height = 450; height < 700 && !(size && size[0] === 640); height++) {
      await resized.setViewport({width: 1400, height});
      await settle(resized);
      size = await resized.$eval('#world', (c) => [c.clientWidth, c.clientHeight]);
    }
    await waitFrames(resized);
    assert.deepEqual(await resized.$eval('#world', (c) => [c.clientWidth, c.clientHeight, c.width, c.height]),
      [640, 480, 640, 480]);
    await drag(resized, 'left', [320, 240], [380, 260], () => assertPicture(resized, 'resized'));
    await resized.close();
  });

  await t.test('a phone (390 x 844 at a ratio of 3): the picture fits at 4:3, buffer in device pixels, controls in view; a swipe orbits', async () => {
    const phone = await openPage(browser, PAGE, {width: 390, height: 844, pixelRatio: 3, hasTouch: true});
    await waitFrames(phone);
    const [cssWidth, cssHeight, width, height, bottom, rows, plot] = await phone.evaluate(() => {
      const c = document.getElementById('world');
      const buttonTops = [...document.querySelectorAll('#controls button')].map((b) => b.getBoundingClientRect())
        .filter((r) => r.height > 0).map((r) => Math.round(r.top));
      const p = document.getElementById('plot');
      return [c.clientWidth, c.clientHeight, c.width, c.height, document.getElementById('controls').getBoundingClientRect().bottom,
        new Set(buttonTops).size, [p.width, p.height, p.getBoundingClientRect().right]];
    });
    assert.ok(cssWidth <= 390 - 32 && cssWidth >= 300, `width ${cssWidth}`);
    assert.ok(rows <= 2, `the controls on ${rows} rows`);
    assert.ok(plot[0] >= 3 * 300 && plot[1] === 3 * (await phone.$eval('#plot', (p) => p.clientHeight)) && plot[2] <= 390, `the plot: ${plot}`);
    assert.deepEqual([cssHeight * 4, width, height], [cssWidth * 3, cssWidth * 3, cssHeight * 3]);
    assert.ok(bottom <= 844);
    // A swipe up on the picture orbits and does not scroll the page, which could scroll.
    assert.ok(await phone.evaluate(() => document.documentElement.scrollHeight > innerHeight), 'the page can scroll');
    const box = await (await phone.$('#world')).boundingBox();
    const finger = await phone.touchscreen.touchStart(box.x + 150, box.y + 200);
    for (const y of [160, 120, 80]) await finger.move(box.x + 150, box.y + y);
    await waitFrames(phone);
    await finger.end();
    const [elevation] = await phone.evaluate(() => latticeview.camera());
    assert.ok(elevation > 0, `elevation ${elevation}`);
    assert.equal(await phone.evaluate(() => scrollY), 0);
    await phone.close();
  });

  await t.test('the picture focused by Tab or a click, with a ring: arrows orbit, Shift and arrows pan, + - = zoom, as drags and the wheel do', async () => {
    const keys = await openPage(browser, PAGE);
    const dragged = await openPage(browser, PAGE);
    const camera = (page) => page.evaluate(() => latticeview.camera());
    await keys.keyboard.press('Tab');
    assert.deepEqual(await keys.$eval('#world', (c) => [document.activeElement === c, getComputedStyle(c).outlineStyle,
      parseFloat(getComputedStyle(c).outlineWidth) >= 2]), [true, 'solid', true], 'focused, with a ring');
    // Each arrow as a drag of 40 pixels that way on the window's 800 x 600
    // (this picture's size): left and up a left drag, Shift and right a right drag.
    await keys.evaluate(() => {
      window.prevented = [];
      window.addEventListener('keydown', (e) => window.prevented.push(e.defaultPrevented));
    });
    await pressKeys(keys, ['ArrowLeft', 'ArrowUp']);
    await keys.keyboard.down('Shift');
    await keys.keyboard.press('ArrowRight');
    await keys.keyboard.up('Shift');
    await drag(dragged, 'left', [400, 300], [360, 300]);
    await drag(dragged, 'left', [400, 300], [400, 260]);
    await drag(dragged, 'right', [400, 300], [440, 300]);
    const moved = await camera(keys);
    assert.deepEqual(moved, await camera(dragged));
    assert.deepEqual(moved.slice(0, 2), [6, 18]);
    assert.notDeepEqual(moved.slice(3), [0, 0]);
    // + and = a notch closer, - a notch back, as the wheel's.
    await pressKeys(keys, ['Equal']);
    assert.equal((await camera(keys))[2], 90);
    await pressKeys(keys, ['Minus']);
    assert.equal((await camera(keys))[2], 100);
    await keys.keyboard.press('NumpadAdd');
    assert.equal((await camera(keys))[2], 90);
    // The bounds of the drags.
    await pressKeys(keys, Array(50).fill('Minus'));
    assert.equal((await camera(keys))[2], 10000);
    await pressKeys(keys, Array(90).fill('Equal'));
    assert.equal((await camera(keys))[2], 1);
    await pressKeys(keys, Array(16).fill('ArrowUp'));
    assert.equal((await camera(keys))[0], 89);
    // The keys that would scroll do nothing over the focused picture.
    await pressKeys(keys, ['Space', 'PageDown', 'End', 'Home', 'PageUp']);
    assert.deepEqual(await keys.evaluate(() => window.prevented),
      [true, true, false /* Shift */, ...Array(4 + 50 + 90 + 16 + 5).fill(true)]);
    // Away from the picture, arrows are the browser's again.
    await keys.keyboard.press('Tab');
    const away = await camera(keys);
    await pressKeys(keys, ['ArrowLeft', 'Equal']);
    assert.deepEqual(await camera(keys), away);
    // A click focuses the picture; the buttons zoom a notch.
    const box = await (await dragged.$('#world')).boundingBox();
    await dragged.mouse.click(box.x + 10, box.y + 10);
    assert.equal(await dragged.evaluate(() => document.activeElement.id), 'world');
    const before = (await camera(dragged))[2];
    await dragged.click('#zoom-in');
    assert.equal((await camera(dragged))[2], Math.fround(before * 0.9));
    await dragged.click('#zoom-out');
    assert.equal((await camera(dragged))[2], before);
    // Ended: the camera keys do nothing, and the focus goes from the picture to a save.
    await dragged.focus('#world');
    await pressKeys(dragged, ['q', 'ArrowLeft', 'Equal']);
    assert.equal((await camera(dragged))[2], before);
    assert.equal(await dragged.evaluate(() => document.activeElement.id), 'save');
    await keys.close();
    await dragged.close();
  });

  // In the page: where the parts are, in CSS pixels of the viewport, and
  // what the layout must hold.
  const layoutOf = (page) => page.evaluate(() => {
    const rect = (r) => [r.left, r.top, r.right, r.bottom];
    const of = (id) => rect(document.getElementById(id).getBoundingClientRect());
    const reports = document.getElementById('reports');
    const block = reports.lastElementChild;
    const text = block.firstChild;
    const range = document.createRange();
    const start = text.data.lastIndexOf('Lattice 0:');  // the newest report's first line
    range.setStart(text, start);
    range.setEnd(text, start + 'Lattice 0:'.length);
    const tops = new Set([...document.querySelectorAll('#controls button')].map((b) => b.getBoundingClientRect())
      .filter((r) => r.height > 0).map((r) => Math.round(r.top)));
    const box = reports.getBoundingClientRect();
    const world = document.getElementById('world');
    return {
      picture: of('world'), controls: of('controls'), status: of('status'), firstLine: rect(range.getBoundingClientRect()),
      reportsView: [box.left + reports.clientLeft, box.top + reports.clientTop, box.left + reports.clientLeft + reports.clientWidth,
        box.top + reports.clientTop + reports.clientHeight],
      rows: tops.size, sideways: document.documentElement.scrollWidth > innerWidth, viewport: [0, 0, innerWidth, innerHeight],
      buffer: [world.width, world.height], ratio: devicePixelRatio,
    };
  });
  const inside = (r, outer) => r[0] >= outer[0] - 0.01 && r[1] >= outer[1] - 0.01 && r[2] <= outer[2] + 0.01 && r[3] <= outer[3] + 0.01;
  function assertLayout(layout, what) {
    const {picture, viewport} = layout;
    for (const part of ['picture', 'controls', 'status', 'firstLine'])
      assert.ok(inside(layout[part], viewport), `${what}: ${part} at ${layout[part]} is not in the viewport ${viewport}`);
    assert.ok(inside(layout.firstLine, layout.reportsView), `${what}: the newest report's first line at ${layout.firstLine} is not in the reports' view ${layout.reportsView}`);
    assert.ok(layout.rows <= 2, `${what}: the buttons take ${layout.rows} rows`);
    assert.equal(layout.sideways, false, `${what}: the page scrolls sideways`);
    const [w, h] = [picture[2] - picture[0], picture[3] - picture[1]];
    assert.deepEqual([h * 4, layout.buffer], [w * 3, [Math.round(w * layout.ratio), Math.round(h * layout.ratio)]], `${what}: picture ${w} x ${h}`);
  }

  await t.test('every screen, upright and sideways: the whole picture, two rows of buttons at most, the status and the newest report\'s first line in view, no sideways scroll', async () => {
    // [width, height, ratio, touch, the picture takes the height]
    const screens = [[844, 390, 3, true, true], [390, 844, 3, true], [320, 480, 1, true], [480, 320, 2, true], [768, 1024, 2, true],
      [1366, 650, 1, false, true], [1920, 1080, 1.25, false, true], [3840, 2160, 1, false, true], [1600, 1000, 4, false, true]];
    for (const [width, height, pixelRatio, hasTouch, takesHeight] of screens) {
      const what = `${width} x ${height} at ${pixelRatio}`;
      const screen = await openPage(browser, PAGE, {width, height, pixelRatio, hasTouch});
      await pressKeys(screen, Array(90).fill('f'));  // lines as long as they come
      await reportText(screen);
      await settle(screen);
      const layout = await layoutOf(screen);
      assertLayout(layout, what);
      if (takesHeight) {  // sideways: the picture takes the height, the rest goes beside it
        assert.ok(layout.picture[3] - layout.picture[1] >= Math.min(600, height - 32), `${what}: picture ${layout.picture}`);
        assert.ok(layout.controls[0] >= layout.picture[2], `${what}: the buttons are not beside the picture`);
      }
      // Laid out again, the same: nothing shrinks step by step, and the page
      // stays scrolled where it was.
      const scrolled = await screen.evaluate(() => {
        window.scrollTo(0, document.documentElement.scrollHeight);
        return scrollY;
      });
      await screen.evaluate(() => window.dispatchEvent(new Event('resize')));
      await settle(screen);
      assert.equal(await screen.evaluate(() => scrollY), scrolled, `${what}: scrolled, laid out again`);
      await screen.evaluate(() => window.scrollTo(0, 0));
      assert.deepEqual((await layoutOf(screen)).picture, layout.picture, `${what}: laid out again`);
      await pressKeys(screen, ['q']);
      await settle(screen);
      assertLayout(await layoutOf(screen), `${what}, ended`);
      await screen.close();
    }
  });

  await t.test('a phone\'s browser bar that comes and goes changes the picture once', async () => {
    const phone = await openPage(browser, PAGE, {width: 844, height: 390, pixelRatio: 3, hasTouch: true});
    await pressKeys(phone, ['f']);
    const sizes = [];
    for (const height of [390, 340, 390, 340, 390]) {
      await phone.setViewport({width: 844, height, deviceScaleFactor: 3, hasTouch: true});
      await settle(phone);
      const layout = await layoutOf(phone);
      assertLayout(layout, `844 x ${height}`);
      sizes.push(layout.picture[2] - layout.picture[0]);
    }
    assert.equal(new Set(sizes).size, 2, `picture widths ${sizes}`);
    assert.deepEqual(sizes.slice(1), Array(4).fill(sizes[1]), `picture widths ${sizes}`);
    await phone.close();
  });

  await t.test('reports are never cut: lines whole and aligned, the box scrolled by keys as by a pointer', async () => {
    for (const [width, height, pixelRatio] of [[1366, 650, 1], [390, 844, 3]]) {
      const what = `${width} x ${height}`;
      const laptop = await openPage(browser, PAGE, {width, height, pixelRatio, hasTouch: pixelRatio > 1});
      await pressKeys(laptop, Array(100).fill('f'));
      await reportText(laptop);
      await waitFrames(laptop);
      // Each line of the newest report on a row of its own, all starting at one place.
      const lines = await laptop.$eval('#reports', (reports) => {
        const text = reports.lastElementChild.firstChild;
        const starts = [];
        for (let at = text.data.lastIndexOf('Lattice 0:'); at >= 0 && at < text.data.length; at = text.data.indexOf('\n', at) + 1 || -1) {
          const range = document.createRange();
          range.setStart(text, at);
          range.setEnd(text, at + 1);
          const r = range.getBoundingClientRect();
          if (text.data[at] !== '\n') starts.push([r.left, r.top]);
        }
        return {starts, long: reports.scrollWidth > reports.clientWidth};
      });
      assert.equal(lines.starts.length, 10, what);
      assert.equal(new Set(lines.starts.map(([left]) => left)).size, 1, `${what}: lines start at ${lines.starts}`);
      assert.equal(new Set(lines.starts.map(([, top]) => top)).size, 10, `${what}: rows ${lines.starts}`);
      assert.ok(lines.long, `${what}: the lines fit; no sideways scrolling to test`);
      await laptop.focus('#reports');
      const scroll = () => laptop.$eval('#reports', (r) => [r.scrollLeft, r.scrollTop]);
      const [, top] = await scroll();
      await pressKeys(laptop, ['ArrowRight', 'ArrowRight', 'ArrowUp', 'PageUp']);
      await laptop.waitForFunction((top) => {
        const r = document.getElementById('reports');
        return r.scrollLeft > 0 && r.scrollTop < top;
      }, {timeout: 5000, polling: 20}, top);
      await laptop.close();
    }
  });

  await t.test('screen readers: a live status, a described picture, labelled reports; axe finds nothing, light or dark', async () => {
    const reader = await openPage(browser, PAGE);
    const downloads = await allowDownloads(t, reader);
    assert.deepEqual(await axeViolations(reader), [], 'at start-up');
    assert.deepEqual(await reader.evaluate(() => {
      const world = document.getElementById('world');
      const reports = document.getElementById('reports');
      return [document.getElementById('status').getAttribute('role'), world.getAttribute('aria-label'),
        reports.getAttribute('role'), reports.getAttribute('aria-label') !== null, reports.tabIndex];
    }), ['status', 'The lattice, seen from the camera', 'region', true, 0]);
    const description = () => reader.evaluate(() => document.getElementById(
      document.getElementById('world').getAttribute('aria-describedby')).textContent);
    // The cells lit: the green points drawn.
    const litCells = () => reader.evaluate(() => {
      const count = Module._lv_frame(800, 600, 1);
      const stride = Module._lv_point_stride() >> 2;
      const base = Module._lv_points() >> 2;
      let green = 0;
      for (let i = 0; i < count; i++) if (Module.HEAPF32[base + i * stride + 3] === 0 && Module.HEAPF32[base + i * stride + 6] === 3) green++;
      return green;
    });
    assert.equal(await description(), 'The lattice seen from the camera at elevation 0\u00b0, azimuth 0\u00b0 and distance 100, ' +
      `looking at 0, 0: ${await litCells()} of its 2500 cells lit after 0 steps.`);
    await pressKeys(reader, Array(150).fill('f'));
    await reportText(reader);
    await waitFrames(reader);
    const lit = await litCells();
    assert.ok(lit > 1, `${lit} cells lit`);
    await reader.waitForFunction(() => document.getElementById('status').textContent === 'Running: 150 steps.', {timeout: 5000});
    assert.match(await description(), new RegExp(`: ${lit} of its 2500 cells lit after 150 steps\\.$`));
    assert.deepEqual(await axeViolations(reader), [], 'after 150 steps');
    await reader.click('#save');
    assert.equal(await reader.$eval('#status', (s) => s.textContent), 'Running: 150 steps. Saved the reports as latticeview-reports.txt.');
    await downloaded(downloads, 'latticeview-reports.txt');
    await pressKeys(reader, ['q']);
    assert.match(await reader.$eval('#status', (s) => s.textContent), /^The program ended with exit status 1 after 150 steps/);
    assert.match(await description(), /after 150 steps, the program ended\.$/);
    assert.deepEqual(await axeViolations(reader), [], 'after q');
    // Dark: the page around the picture is dark, the picture as it was.
    const dark = await openPage(browser, PAGE);
    await dark.emulateMediaFeatures([{name: 'prefers-color-scheme', value: 'dark'}]);
    const colours = await dark.evaluate(() => [getComputedStyle(document.body).backgroundColor, getComputedStyle(document.body).color,
      getComputedStyle(document.getElementById('reports')).backgroundColor]);
    const light = (colour) => colour.match(/\d+/g).slice(0, 3).map(Number).reduce((a, b) => a + b) / 3;
    assert.ok(light(colours[0]) < 50 && light(colours[2]) < 50 && light(colours[1]) > 200, `colours ${colours}`);
    await assertPicture(dark, 'startup');
    assert.deepEqual(await axeViolations(dark), [], 'dark');
    await dark.close();
    await reader.close();
  });

  for (const ratio of [1.25, 1.5, 2, 2.625]) {
    await t.test(`crisp at a device pixel ratio of ${ratio}: the screen shows the drawing buffer pixel for pixel`, async () => {
      const scaled = await openPage(browser, PAGE, {width: 700, height: 560, pixelRatio: ratio});
      await waitFrames(scaled);
      const [width, height, base64] = await scaled.evaluate(() => latticeview.readPixels());
      const box = await scaled.$eval('#world', (c) => { const r = c.getBoundingClientRect(); return [r.left, r.top, r.width, r.height]; });
      assert.deepEqual(box.map((v) => Number.isInteger(v * ratio)), [true, true, true, true], `canvas at ${box}`);
      assert.deepEqual([width, height], [box[2] * ratio, box[3] * ratio]);
      const screen = readPng(Buffer.from(await scaled.screenshot({type: 'png', captureBeyondViewport: false})));
      const rgba = Buffer.from(base64, 'base64');
      const buffer = {width, height, rgb: Buffer.alloc(width * height * 3)};
      const shown = {width, height, rgb: Buffer.alloc(width * height * 3)};
      for (let y = 0; y < height; y++) {
        for (let x = 0; x < width; x++) {
          const from = ((height - 1 - y) * width + x) * 4;
          rgba.copy(buffer.rgb, (y * width + x) * 3, from, from + 3);
          const on = ((y + box[1] * ratio) * screen.width + x + box[0] * ratio) * 3;
          screen.rgb.copy(shown.rgb, (y * width + x) * 3, on, on + 3);
        }
      }
      assert.equal(differingPixels(shown, buffer, 0).length, 0);
      await scaled.close();
    });
  }
});

test('the page in Firefox: keys, reports, q, a snapshot, a saved picture, a film, a snapshot continued, a link with parameters', {skip: !process.env.LBM_FIREFOX_TEST && 'LBM_FIREFOX_TEST is not set'}, async (t) => {
  const downloads = temporaryDirectory(t, 'downloads');
  const browser = await launchFirefox({downloads});
  t.after(() => browser.close());
  const page = await openPage(browser, PAGE);
  const expected = expectedReports(LBM_TRACE, STEPS);
  assert.equal(await page.$eval('#no-webgl', (p) => p.hidden), true, 'WebGL is there');
  await waitFrames(page);
  await page.click('#save-snapshot');
  assert.equal(sha256(await downloaded(downloads, snapshotName(0))), GOLDEN_SNAPSHOTS.get(snapshotName(0)));
  await page.evaluate(() => document.activeElement.blur());  // Enter below is a key for the page
  // '/' would open Firefox's quick find, taking the presses of f after it.
  await pressKeys(page, ['Escape', 'KeyA', 'Enter', 'ArrowLeft', 'KeyX', '/', "'", ' ', 'PageDown']);
  await page.keyboard.down('Shift');
  await page.keyboard.press('KeyF');
  await page.keyboard.up('Shift');
  await pressKeys(page, Array(STEPS - 1).fill('f'));
  const text = await reportText(page);
  assert.equal(text.saved, expected);
  assert.equal(text.shown, expected);
  await assertPicture(page, 'stepped');
  // A wheel's notch as Firefox sends it, 6 lines, or 114 pixels where it
  // sends pixels: a tenth of the distance.
  const box = await (await page.$('#world')).boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  const distance = async () => (await page.evaluate(() => latticeview.camera()))[2];
  await page.$eval('#world', (c) => c.dispatchEvent(new WheelEvent('wheel', {deltaY: -6, deltaMode: 1, bubbles: true, cancelable: true})));
  assert.equal(await distance(), 90);
  await page.mouse.wheel({deltaY: 114});
  await page.waitForFunction(() => latticeview.camera()[2] !== 90, {timeout: 5000});
  assert.equal(await distance(), 100);
  await page.click('#save-picture');
  await assertPicture(page, 'stepped', readPng(await downloaded(downloads, pictureName(STEPS))));
  // A film of two steps: a frame at the start, at each step and at Stop
  // (Firefox's recorder adds the last frame again once a second while none
  // comes).
  await page.click('#record');
  for (let i = 0; i < 2; i++) {
    await page.keyboard.press('f');
    await waitFrames(page);
  }
  await page.click('#record');
  await downloaded(downloads, filmName(STEPS, STEPS + 2));
  const {frames} = filmFrames(join(downloads, filmName(STEPS, STEPS + 2)));
  assert.ok(frames >= 3, `${frames} frames`);
  await pressKeys(page, ['q', 'f']);
  assert.equal(await page.evaluate(() => latticeview.ended()), true);
  assert.match(await page.$eval('#status', (s) => s.textContent), /ended with exit status 1\b/);
  assert.equal((await reportText(page)).saved, expectedReports(LBM_TRACE, STEPS + 2));

  // A snapshot of lbm_trace's dropped onto the picture goes on as lbm_trace
  // --resume does; a damaged one is refused and the run goes on; a link's
  // parameters run as lbm_trace's options.
  const snapshots = snapshotsToOpen(t);
  const opening = await openPage(browser, PAGE);
  await dropFile(opening, snapshotName(140), snapshots.bytes);
  assert.equal(await statusText(opening), `Running: 140 steps. ${openedText(snapshotName(140), 140)}`);
  await pressKeys(opening, Array(10).fill('f'));
  assert.equal((await reportText(opening)).saved, snapshots.resumed(10));
  const [damaged] = snapshots.refused;
  await dropFile(opening, damaged.name, damaged.data);
  assert.equal(await statusText(opening), `Running: 150 steps. '${damaged.name}' is not a latticeview snapshot: ` +
    `${damaged.reason}. The run goes on.`);
  await pressKeys(opening, ['f']);
  assert.equal((await reportText(opening)).saved, snapshots.resumed(11));
  const linked = await openPage(browser, PAGE, {search: '?tau=0.6&source=10,20'});
  await pressKeys(linked, Array(20).fill('f'));
  assert.equal((await reportText(linked)).saved, traceOutput(LBM_TRACE, ['--tau', '0.6', '--source', '10,20', '20']));

  // On the focused Step button, Enter and Space each step once.
  const controls = await openPage(browser, PAGE);
  await controls.focus('#step');
  await pressKeys(controls, [' ', 'Enter']);
  assert.equal((await reportText(controls)).saved, expectedReports(LBM_TRACE, 2));
});
