// Pictures as 8-bit RGB, read through ImageMagick as the window's GUI test
// reads them: the browsers' screenshots, the window's reference pictures.
import {execFileSync} from 'node:child_process';
import {existsSync} from 'node:fs';

const CONVERT = existsSync('/usr/bin/convert') ? '/usr/bin/convert' : 'convert';

export function readPng(bytes) {
  return readPpm(execFileSync(CONVERT, ['png:-', '-depth', '8', 'ppm:-'], {input: bytes, maxBuffer: 1 << 26}));
}

// An 8-bit binary PPM, as ImageMagick writes it.
export function readPpm(ppm) {
  // "P6", the width, the height and 255, each followed by one blank; then the samples.
  const header = /^P6\s(\d+)\s(\d+)\s255\s/.exec(ppm.toString('latin1', 0, 32));
  if (header === null) throw new Error('ImageMagick gave no 8-bit picture');
  return {width: Number(header[1]), height: Number(header[2]), rgb: ppm.subarray(header[0].length)};
}
