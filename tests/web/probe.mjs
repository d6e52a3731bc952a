import {launchChromium, openPage, waitFrames} from './browser.mjs';
import {differingPixels, readPng} from './png.mjs';
import {readFileSync} from 'node:fs';
const browser = await launchChromium();
try {
  for (let h = 605; h < 630; h++) {
    const page = await openPage(browser, process.argv[2], {width: 1400, height: h});
    const size = await page.$eval('#world', (c) => [c.clientWidth, c.clientHeight]);
    if (size[0] !== 640) { await page.close(); continue; }
    console.log('height', h);
    await waitFrames(page);
    const shot = async () => readPng(Buffer.from(await (await page.$('#world')).screenshot({type: 'png'})));
    const s0 = await shot();
    console.log('startup', differingPixels(s0, readPng(readFileSync('/tmp/win-small-startup.png')), 3).length);
    const box = await (await page.$('#world')).boundingBox();
    await page.mouse.move(box.x + 320, box.y + 240); await page.mouse.down();
    await page.mouse.move(box.x + 380, box.y + 260, {steps: 4}); await waitFrames(page);
    const s1 = await shot();
    console.log('dragged', differingPixels(s1, readPng(readFileSync('/tmp/win-small-dragged.png')), 3).length);
    break;
  }
} finally { await browser.close(); }
