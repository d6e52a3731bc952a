// WebKitGTK (the engine of Safari) for the page's tests: Debian's
// WebKitWebDriver driving its MiniBrowser in the X display of the environment,
// through selenium-webdriver; drags through xdotool. The page offers the
// calls the tests make of puppeteer's tabs, for the tests that run in every
// engine.
//
// WebKit's element screenshots are unreliable (one showed the canvas half
// drawn), so the canvas's picture is cropped from a screenshot of the whole
// window, once two screenshots agree.
import {execFileSync, spawn} from 'node:child_process';
import {existsSync} from 'node:fs';
import {createServer} from 'node:net';
import {pathToFileURL} from 'node:url';
import {Builder} from 'selenium-webdriver';
import {readPng} from './picture.mjs';

// WebDriver's names of the special keys, for pressKeys.
export {Key} from 'selenium-webdriver';

export const WEBKIT_DRIVER = process.env.LBM_WEBKIT_DRIVER || '/usr/bin/WebKitWebDriver';
const MINIBROWSERS = ['/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser',
  '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.0/MiniBrowser'];
// The browser that WebKitWebDriver starts: LBM_MINIBROWSER, or the MiniBrowser of
// this machine's WebKitGTK (its directory is named after the architecture).
function miniBrowser() {
  if (process.env.LBM_MINIBROWSER) return process.env.LBM_MINIBROWSER;
  const arch = {x64: 'x86_64', arm64: 'aarch64', ia32: 'i386'}[process.arch] || process.arch;
  const candidates = MINIBROWSERS.map((p) => p.replace('x86_64', arch));
  return candidates.find((p) => existsSync(p)) || candidates[0];
}

function freePort() {
  return new Promise((resolve, reject) => {
    const server = createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const {port} = server.address();
      server.close(() => resolve(port));
    });
  });
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Polls `condition` (async) every `every` ms for at most `timeout` ms.
async function waitFor(condition, what, timeout = 10000, every = 20) {
  const end = Date.now() + timeout;
  for (;;) {
    if (await condition()) return;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await sleep(every);
  }
}

// A tab of WebKit at the page FILE, in a window whose viewport is at least
// 1400 x 1000 CSS pixels (device pixel ratio 1), once the page's program runs.
// Its calls: evaluate(fn, ...args), waitForFunction(fn, options, ...args),
// pressKeys(keys), drag(button, from, to), canvasPicture(), close().
export async function openWebKitPage(file) {
  const port = await freePort();
  const server = spawn(WEBKIT_DRIVER, [`--port=${port}`], {stdio: ['ignore', 'ignore', 'pipe']});
  let serverLog = '';
  server.stderr.on('data', (chunk) => { serverLog += chunk; });
  const exited = new Promise((resolve) => server.on('exit', resolve));
  let driver = null;
  const close = async () => {
    try {
      if (driver) await driver.quit();
    } finally {
      server.kill();
      await Promise.race([exited, sleep(5000)]);
    }
  };
  try {
    // The driver answers once it listens; a session before that is refused.
    const started = Date.now();
    for (;;) {
      try {
        driver = await new Builder().usingServer(`http://127.0.0.1:${port}`).withCapabilities({
          browserName: 'MiniBrowser',
          'webkitgtk:browserOptions': {binary: miniBrowser(), args: ['--automation']},
        }).build();
        break;
      } catch (error) {
        if (server.exitCode !== null || Date.now() - started > 20000)
          throw new Error(`no WebKitWebDriver session: ${error.message}\n${serverLog}`);
        await sleep(200);
      }
    }
    await driver.manage().window().setRect({x: 0, y: 0, width: 1400, height: 1060});
    await driver.get(pathToFileURL(file).href);
    const page = makePage(driver, close);
    await page.waitForFunction(() => typeof latticeview !== 'undefined' && latticeview.running(), {timeout: 30000});
    const viewport = await page.evaluate(() => [innerWidth, innerHeight, devicePixelRatio]);
    if (viewport[0] < 1400 || viewport[1] < 1000 || viewport[2] !== 1)
      throw new Error(`WebKit's viewport is ${viewport.join(' x ')} (width, height, ratio)`);
    return page;
  } catch (error) {
    await close();
    throw error;
  }
}

function makePage(driver, close) {
  // Functions travel as their source, called with the arguments given.
  const evaluate = (fn, ...args) =>
    driver.executeScript(`return (${fn.toString()}).apply(null, arguments);`, ...args);
  const canvasBox = () => evaluate(() => {
    const box = document.getElementById('world').getBoundingClientRect();
    return [box.left, box.top, box.width, box.height];
  });
  // Drags are real X input (xdotool), as a user's: WebKitWebDriver's middle
  // button is released as the left one, after which WebKit holds the middle
  // button down for good. Where the page lies on the screen is measured once,
  // by moves that the page ignores (no button held).
  let offset = null;
  async function screenOffset() {
    if (offset !== null) return offset;
    await evaluate(() => {
      window.lvProbe = null;
      window.addEventListener('pointermove', (event) => { window.lvProbe = [event.clientX, event.clientY]; });
    });
    const move = (x, y) => execFileSync('xdotool', ['mousemove', String(x), String(y)], {timeout: 10000});
    move(300, 300);  // where the pointer may be already: then no event comes
    await sleep(200);
    await evaluate(() => { window.lvProbe = null; });
    move(310, 320);
    await waitFor(() => evaluate(() => window.lvProbe !== null), 'a pointer move in WebKit', 5000);
    const at = await evaluate(() => window.lvProbe);
    offset = [310 - at[0], 320 - at[1]];
    return offset;
  }
  const xButtons = {left: 1, middle: 2, right: 3};
  return {
    driver,
    close,
    evaluate,
    waitForFunction: (fn, {timeout = 10000} = {}, ...args) => waitFor(() => evaluate(fn, ...args),
      `the page: ${fn.toString().slice(0, 120)}`, timeout),
    async pressKeys(keys) {
      // One key at a time, as a user types: each its own key down and up.
      for (const key of keys) await driver.actions({async: true}).sendKeys(key).perform();
    },
    // A drag with BUTTON from canvas pixel FROM to TO; `afterMove` runs
    // before the release.
    async drag(button, from, to, {afterMove = null} = {}) {
      const [left, top] = await canvasBox();
      const [dx, dy] = await screenOffset();
      // The page takes the whole canvas pixel a position lies in: the first
      // whole client pixel at or after that canvas pixel's corner.
      const at = ([x, y]) => [String(Math.ceil(left + x) + dx), String(Math.ceil(top + y) + dy)];
      const xdotool = (...args) => execFileSync('xdotool', args, {timeout: 10000});
      xdotool('mousemove', ...at(from), 'sleep', '0.05', 'mousedown', String(xButtons[button]), 'sleep', '0.05',
        'mousemove', ...at(to), 'sleep', '0.05');
      if (afterMove) await afterMove();
      xdotool('mouseup', String(xButtons[button]), 'sleep', '0.05');
    },
    // The canvas's picture (CSS pixels at ratio 1), from screenshots of the
    // window: the first that agrees with the one before it.
    async canvasPicture() {
      const [left, top, width, height] = await canvasBox();
      const x0 = Math.round(left);
      const y0 = Math.round(top);
      let previous = null;
      for (let tries = 0; tries < 40; tries++) {
        const whole = readPng(Buffer.from(await driver.takeScreenshot(), 'base64'));
        const picture = {width, height, rgb: Buffer.alloc(width * height * 3)};
        for (let y = 0; y < height; y++) {
          const start = ((y0 + y) * whole.width + x0) * 3;
          whole.rgb.copy(picture.rgb, y * width * 3, start, start + width * 3);
        }
        if (previous !== null && previous.rgb.equals(picture.rgb)) return picture;
        previous = picture;
        await sleep(150);
      }
      throw new Error('no two screenshots of WebKit\'s window agree');
    },
  };
}
