// Layout: the canvas's size and place. The canvas takes the room the
// viewport leaves, up to the window's 800 x 600, at 4:3, in whole CSS pixels
// that are whole device pixels too where some size near the room's is; it
// sits on whole device pixels. Its drawing buffer has exactly its size in
// device pixels. A new viewport size or device pixel ratio (browser zoom,
// another screen) lays it out again.
const Layout = (() => {
  const world = document.getElementById('world');
  const view = document.getElementById('view');
  const columns = document.getElementById('layout');
  const panel = document.getElementById('panel');
  const CANVAS_MIN = 160;               // CSS pixels wide, whatever the room
  const CRISP_SEARCH = 64;              // CSS pixels below the room's width searched for a crisp width
  const NARROW = '(max-width: 60em)';   // as the style sheet's
  const POSITION_STEPS = 64;            // layout positions come in 1/64 of a CSS pixel
  const MARGIN_MAX = 8;                 // CSS pixels that the picture may move to sit on device pixels
  let width = 0;  // CSS pixels, set by fit
  let height = 0;
  let deviceSize = null;  // [CSS width, CSS height, device width, device height] as last reported
  let ratioQuery = null;

  function pixelRatio() {
    const ratio = window.devicePixelRatio || 1;
    return ratio > 0 && isFinite(ratio) ? ratio : 1;
  }
  function whole(value) { return Math.abs(value - Math.round(value)) < 1e-6; }

  // The room for the picture in CSS pixels, [width, height]: the picture
  // column's width, and the viewport's height less what is above the picture
  // and what follows it in its column. The column is beside the panel while
  // the panel has its least width beside it (the style sheet's media query),
  // else above it.
  function room() {
    let roomWidth = columns.getBoundingClientRect().width;
    if (!window.matchMedia(NARROW).matches) {
      roomWidth -= parseFloat(getComputedStyle(panel).minWidth) + parseFloat(getComputedStyle(columns).columnGap);
    }
    let below = 0;
    for (let next = view.nextElementSibling; next !== null; next = next.nextElementSibling) {
      const style = getComputedStyle(next);
      below += next.getBoundingClientRect().height + parseFloat(style.marginTop) + parseFloat(style.marginBottom);
    }
    const top = view.getBoundingClientRect().top + window.scrollY - (parseFloat(view.style.marginTop) || 0);
    return [roomWidth, window.innerHeight - top - below - parseFloat(getComputedStyle(document.body).marginBottom)];
  }

  // The canvas's width for a room at `ratio`: the largest multiple of 4 that
  // fits at 4:3 (at least CANVAS_MIN), or the largest a little below it at
  // which width and height are whole device pixels too.
  function fittingWidth(roomWidth, roomHeight, ratio) {
    const maxWidth = Module._lv_canvas_width();
    const maxHeight = Module._lv_canvas_height();
    let fit = Math.floor(Math.min(maxWidth, roomWidth, roomHeight * maxWidth / maxHeight));
    fit = Math.max(CANVAS_MIN, fit - fit % 4);
    for (let w = fit; w >= Math.max(CANVAS_MIN, fit - CRISP_SEARCH); w -= 4) {
      if (whole(w * ratio) && whole(w * 3 / 4 * ratio)) return w;
    }
    return fit;
  }

  // The least offset below MARGIN_MAX, in steps of a layout position, that
  // puts the CSS position `start` where `fits` holds; null if none does.
  function leastOffset(start, fits) {
    for (let k = 0; k < POSITION_STEPS * MARGIN_MAX; k++) {
      if (fits(start + k / POSITION_STEPS)) return k / POSITION_STEPS;
    }
    return null;
  }
  // The margin that puts the CSS position `start` on a whole device pixel,
  // and on a whole CSS pixel too where that is a few pixels away (browsers
  // place a canvas on a fraction of a CSS pixel less reliably).
  function margin(start, ratio) {
    const onDevicePixel = (x) => whole(x * ratio);
    return leastOffset(start, (x) => whole(x) && onDevicePixel(x)) ?? leastOffset(start, onDevicePixel) ?? 0;
  }
  // The picture's margins, measured from the viewport's corner.
  function placeOnDevicePixels(ratio) {
    const box = view.getBoundingClientRect();
    const offsets = [parseFloat(view.style.marginLeft) || 0, parseFloat(view.style.marginTop) || 0];
    const margins = [margin(box.left - offsets[0], ratio), margin(box.top - offsets[1], ratio)];
    if (margins[0] !== offsets[0]) view.style.marginLeft = margins[0] + 'px';
    if (margins[1] !== offsets[1]) view.style.marginTop = margins[1] + 'px';
  }

  // A narrower picture may wrap the controls below it onto more rows, which
  // leaves less room: the size is fitted again while that shrinks it.
  const FIT_ROUNDS = 4;
  function fit() {
    const ratio = pixelRatio();
    for (let round = 0; round < FIT_ROUNDS; round++) {
      const [roomWidth, roomHeight] = room();
      const newWidth = fittingWidth(roomWidth, roomHeight, ratio);
      const newHeight = newWidth * 3 / 4;
      if (newWidth === width || (round > 0 && newWidth > width)) break;
      width = newWidth;
      height = newHeight;
      world.style.width = view.style.width = width + 'px';
      world.style.height = view.style.height = height + 'px';
      Frames.invalidate();
    }
    placeOnDevicePixels(ratio);
  }

  // The drawing buffer: the canvas's size in device pixels, as the browser
  // reports it where it can, else the CSS size times the ratio. A report is
  // taken for the CSS size it was made at; a browser that emulates a ratio
  // (its developer tools) may report the size at a ratio of 1, so a size far
  // from the CSS size times the ratio is not taken either.
  function fitDrawingBuffer() {
    const ratio = pixelRatio();
    let bufferWidth = Math.round(width * ratio);
    let bufferHeight = Math.round(height * ratio);
    if (deviceSize !== null && deviceSize[0] === width && deviceSize[1] === height &&
        Math.abs(deviceSize[2] - width * ratio) < 2 && Math.abs(deviceSize[3] - height * ratio) < 2) {
      bufferWidth = deviceSize[2];
      bufferHeight = deviceSize[3];
    }
    if (world.width !== bufferWidth || world.height !== bufferHeight) {
      world.width = bufferWidth;
      world.height = bufferHeight;
    }
  }
  if (typeof ResizeObserver === 'function') {
    const observer = new ResizeObserver((entries) => {
      const entry = entries[entries.length - 1];
      const css = entry.contentBoxSize && entry.contentBoxSize[0];
      const device = entry.devicePixelContentBoxSize && entry.devicePixelContentBoxSize[0];
      deviceSize = css && device ? [css.inlineSize, css.blockSize, device.inlineSize, device.blockSize] : null;
      Frames.invalidate();
    });
    try {
      observer.observe(world, {box: 'device-pixel-content-box'});  // also told of a new ratio alone
    } catch (error) {
      observer.observe(world);
    }
  }

  function relayout() {
    if (!Frames.started()) return;  // the program has not started yet
    watchRatio();
    fit();
    Frames.invalidate();
  }
  // A media query that changes when the device pixel ratio does.
  function watchRatio() {
    if (ratioQuery !== null) ratioQuery.removeEventListener('change', relayout);
    ratioQuery = window.matchMedia('(resolution: ' + pixelRatio() + 'dppx)');
    ratioQuery.addEventListener('change', relayout);
  }
  window.addEventListener('resize', relayout);

  function start() {
    watchRatio();
    fit();
  }

  return {start, fitDrawingBuffer, width: () => width, height: () => height};
})();
