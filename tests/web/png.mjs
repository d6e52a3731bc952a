// Reads a PNG into 8-bit RGB: enough of the format for the window's reference
// pictures (palette, 2 or 8 bits) and for the browser's screenshots (RGB or
// RGBA, 8 bits). Interlaced and 16-bit pictures are refused.
import {inflateSync} from 'node:zlib';

export function readPng(bytes) {
  const signature = '89504e470d0a1a0a';
  if (bytes.subarray(0, 8).toString('hex') !== signature) throw new Error('not a PNG');
  let width, height, depth, type, palette = null;
  const data = [];
  for (let at = 8; at < bytes.length;) {
    const length = bytes.readUInt32BE(at);
    const kind = bytes.toString('latin1', at + 4, at + 8);
    const body = bytes.subarray(at + 8, at + 8 + length);
    if (kind === 'IHDR') {
      [width, height, depth, type] = [body.readUInt32BE(0), body.readUInt32BE(4), body[8], body[9]];
      if (body[12] !== 0) throw new Error('interlaced PNG');
      if (depth > 8) throw new Error(`PNG of ${depth} bits per sample`);
    } else if (kind === 'PLTE') {
      palette = body;
    } else if (kind === 'IDAT') {
      data.push(body);
    } else if (kind === 'IEND') {
      break;
    }
    at += 12 + length;
  }
  const channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[type];
  if (channels === undefined || (type === 3 && palette === null)) throw new Error(`PNG colour type ${type}`);
  const raw = inflateSync(Buffer.concat(data));
  const rowBytes = Math.ceil((width * channels * depth) / 8);
  const step = Math.max(1, (channels * depth) / 8);  // bytes to the same sample of the pixel before
  const rows = Buffer.alloc(rowBytes * height);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (rowBytes + 1)];
    const line = raw.subarray(y * (rowBytes + 1) + 1, (y + 1) * (rowBytes + 1));
    for (let x = 0; x < rowBytes; x++) {
      const a = x >= step ? rows[y * rowBytes + x - step] : 0;
      const b = y > 0 ? rows[(y - 1) * rowBytes + x] : 0;
      const c = x >= step && y > 0 ? rows[(y - 1) * rowBytes + x - step] : 0;
      let predicted;
      switch (filter) {
        case 0: predicted = 0; break;
        case 1: predicted = a; break;
        case 2: predicted = b; break;
        case 3: predicted = (a + b) >> 1; break;
        case 4: {
          const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
          predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
          break;
        }
        default: throw new Error(`PNG filter ${filter}`);
      }
      rows[y * rowBytes + x] = (line[x] + predicted) & 0xff;
    }
  }
  const rgb = Buffer.alloc(width * height * 3);
  const scale = 255 / ((1 << depth) - 1);
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      const sample = (index) => {  // sample `index` of pixel x in row y
        const bit = (x * channels + index) * depth;
        const byte = rows[y * rowBytes + (bit >> 3)];
        return depth === 8 ? byte : (byte >> (8 - depth - (bit & 7))) & ((1 << depth) - 1);
      };
      const out = (y * width + x) * 3;
      if (type === 3) {
        const entry = sample(0) * 3;
        rgb[out] = palette[entry]; rgb[out + 1] = palette[entry + 1]; rgb[out + 2] = palette[entry + 2];
      } else if (type === 0 || type === 4) {
        rgb[out] = rgb[out + 1] = rgb[out + 2] = Math.round(sample(0) * scale);
      } else {
        for (let k = 0; k < 3; k++) rgb[out + k] = Math.round(sample(k) * scale);
      }
    }
  }
  return {width, height, rgb};
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
