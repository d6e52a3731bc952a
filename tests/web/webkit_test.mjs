// The page in WebKitGTK (the engine of Safari), driven through WebDriver in
// the X display of the environment (DISPLAY): the start-up picture, keys that
// do nothing, f and Shift+F, the picture after 60 steps, 150 reports byte for
// byte (shown and kept for saving), and q.
//
// usage: node webkit_test.mjs PAGE LBM_TRACE
//   PAGE       the page (build/web/latticeview.html)
//   LBM_TRACE  lbm_trace, native or WebAssembly (a .js file runs with node)
import assert from 'node:assert/strict';
import {test} from 'node:test';
import {Key, openWebKitPage} from '../../browsers/webkit.mjs';
import {TOLERANCE, differingPixels, expectedReports, referencePicture} from './expected.mjs';

const [PAGE, LBM_TRACE] = process.argv.slice(2);
if (!PAGE || !LBM_TRACE) {
  console.error('usage: node webkit_test.mjs PAGE LBM_TRACE');
  process.exit(2);
}
const PICTURE_STEPS = 60;  // the reference picture "stepped" is of 60 steps
const STEPS = 150;

async function assertPicture(page, name) {
  const shown = await page.canvasPicture();
  const reference = referencePicture(name);
  const differing = differingPixels(shown, reference, TOLERANCE);
  assert.equal(differing.length, 0, `${differing.length} pixels differ from ${name}.png, the first: ` +
    differing.slice(0, 8).map((p) => p.join(',')).join(' '));
}

// The reports kept for saving and those shown, once every report is shown.
async function reportText(page, reports) {
  await page.waitForFunction((n) => latticeview.reportText().split('Lattice 9:').length - 1 === n &&
    document.getElementById('reports').textContent.length === latticeview.reportText().length,
  {timeout: 20000}, reports);
  return page.evaluate(() => ({saved: latticeview.reportText(), shown: document.getElementById('reports').textContent}));
}

test('the page in WebKit: pictures, keys, reports, q', async (t) => {
  const page = await openWebKitPage(PAGE);
  t.after(() => page.close());
  const golden = expectedReports(LBM_TRACE, STEPS);
  const firstReports = (n) => golden.split('\n').slice(0, 11 * n).join('\n') + '\n';

  await t.test('start-up: the window\'s start-up picture', async () => {
    assert.deepEqual(await page.evaluate(() => {
      const c = document.getElementById('world');
      return [c.width, c.height, c.clientWidth, c.clientHeight];
    }), [800, 600, 800, 600]);
    await assertPicture(page, 'startup');
  });

  await t.test('keys other than f and q do nothing; f and Shift+F step; the picture after 60 steps', async () => {
    await page.pressKeys([Key.ESCAPE, 'a', Key.ENTER, Key.ARROW_LEFT, 'x']);
    assert.equal(await page.evaluate(() => latticeview.reportText()), '');
    await page.driver.actions({async: true}).keyDown(Key.SHIFT).sendKeys('f').keyUp(Key.SHIFT).perform();
    assert.equal((await reportText(page, 1)).saved, firstReports(1));
    await page.pressKeys(Array(PICTURE_STEPS - 1).fill('f'));
    const text = await reportText(page, PICTURE_STEPS);
    assert.equal(text.saved, firstReports(PICTURE_STEPS));
    assert.equal(text.shown, text.saved);
    await assertPicture(page, 'stepped');
  });

  await t.test(`${STEPS} reports byte for byte, shown and kept`, async () => {
    await page.pressKeys(Array(STEPS - PICTURE_STEPS).fill('f'));
    const text = await reportText(page, STEPS);
    assert.equal(text.saved, golden);
    assert.equal(text.shown, golden);
  });

  await t.test('q ends the program with status 1: no more steps, no more drags', async () => {
    const camera = await page.evaluate(() => latticeview.camera());
    await page.pressKeys(['q', 'f', 'f']);
    await page.waitForFunction(() => latticeview.ended());
    assert.match(await page.evaluate(() => document.getElementById('status').textContent),
      /ended with exit status 1\b/);
    await page.drag('left', [400, 300], [500, 300]);
    assert.deepEqual(await page.evaluate(() => latticeview.camera()), camera);
    assert.equal((await reportText(page, STEPS)).saved, golden);
  });
});
