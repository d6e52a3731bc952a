// Chromium and Firefox for the page's tests and benchmarks: starts Debian's
// Chromium headless with a software WebGL (SwiftShader through ANGLE), a
// fresh profile, no network of its own, or Firefox; opens the page from disk,
// waits for its frames and takes the canvas's picture.
import {mkdtempSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {pathToFileURL} from 'node:url';
import puppeteer from 'puppeteer-core';
import {readPng} from './picture.mjs';

export const CHROMIUM = process.env.LBM_CHROMIUM || '/usr/bin/chromium';

export async function launchChromium(extraArguments = []) {
  const profile = mkdtempSync(join(tmpdir(), 'latticeview-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--headless=new', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
      '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run',
      '--disable-quic', '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
      ...extraArguments],
    protocolTimeout: 120000,
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    try {
      await close();
    } finally {
      rmSync(profile, {recursive: true, force: true});
    }
  };
  return browser;
}

// Starts Firefox (ESR) through WebDriver BiDi, in the X display of the
// environment (headless Firefox has no WebGL), with a fresh profile; files
// downloaded go to the directory `downloads`, without asking, if one is given.
export const FIREFOX = process.env.LBM_FIREFOX || '/usr/bin/firefox-esr';
export async function launchFirefox({downloads = null} = {}) {
  const extraPrefsFirefox = downloads === null ? {} : {
    'browser.download.folderList': 2,
    'browser.download.dir': downloads,
    'browser.download.useDownloadDir': true,
    'browser.download.always_ask_before_handling_new_types': false,
    'browser.download.alwaysOpenPanel': false,
  };
  return puppeteer.launch({browser: 'firefox', executablePath: FIREFOX, headless: false, protocolTimeout: 120000,
    extraPrefsFirefox});
}

// Opens the page at `file` in a new tab of `width` x `height` CSS pixels (the
// default leaves the picture its full 800 x 600) at the given device pixel
// ratio, with touch events if `hasTouch`, and waits until its program runs.
// With `from`, the tab opens that address first, so that the page has one to
// go back to; `search` is the query of the page's address ('?tau=0.6').
export async function openPage(browser, file, {pixelRatio = 1, width = 1400, height = 1000, hasTouch = false,
  beforeLoad = null, from = null, search = ''} = {}) {
  const page = await browser.newPage();
  if (from !== null) await page.goto(from);
  await page.setViewport({width, height, deviceScaleFactor: pixelRatio, hasTouch});
  if (beforeLoad) await page.evaluateOnNewDocument(beforeLoad);
  const messages = [];
  page.on('console', (message) => messages.push({type: message.type(), text: message.text()}));
  page.on('pageerror', (error) => messages.push({type: 'pageerror', text: String(error)}));
  await page.goto(pathToFileURL(file).href + search);
  await page.waitForFunction(() => typeof latticeview !== 'undefined' && latticeview.running(), {timeout: 30000});
  page.messages = messages;
  return page;
}

// Waits until the page shows what it was given: while a drag goes on, until
// `ticks` more ticks of its frame timer have run; otherwise until no tick is
// due (the page draws only what changed).
export async function waitFrames(page, ticks = 2) {
  const start = await page.evaluate(() => latticeview.counts.ticks);
  await page.waitForFunction((n) => !latticeview.busy() || latticeview.counts.ticks >= n,
    {timeout: 10000, polling: 10}, start + ticks);
}

// The canvas's picture, from a screenshot of what is in the viewport: a
// capture beyond it would resize the viewport for a moment, and the page
// would fit its picture to that size.
export async function canvasPicture(page) {
  const canvas = await page.$('#world');
  return readPng(Buffer.from(await canvas.screenshot({type: 'png', captureBeyondViewport: false})));
}
