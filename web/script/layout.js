// Layout: the canvas's size and place, and what goes beside or below it.
// The canvas takes the room the viewport leaves, up to the window's 800 x
// 600, at 4:3, in whole CSS pixels that are whole device pixels too where
// some size near the room's is; it sits on whole device pixels. Its drawing
// buffer has exactly its size in device pixels. A new viewport size or device
// pixel ratio (browser zoom, another screen) lays it out again, and so does a
// new size of what is measured around it (the buttons, the status).
//
// Two arrangements (the style sheet's): `stacked`, the picture below the
// title with the controls, the status, the reports, the probes' plot and the
// help below it; and `beside`, the picture taking the viewport's height with
// the rest beside it (a wide screen, a phone held sideways). Each is measured
// with its buttons laid out (Controls.fold) and the one with the larger
// picture taken: in either, the picture, the buttons, the status and the
// first line of the newest report are in view. The plot and the help come
// after the reports and are not measured: stacked, the plot starts below
// the reports, which reach the viewport's bottom; beside, the reports take
// what the column leaves beside the picture, down to their least height. The
// buttons' rows do not depend on the picture's size, so laying out again
// gives the same size.
//
// A browser bar that comes and goes (a phone's) changes the viewport's
// height alone, by at most BAR_MAX: the picture then takes the least height
// seen since the viewport last had another width or a greater height, so
// that it shrinks once when the bar comes and stays when it goes.
const Layout = (() => {
  const world = document.getElementById('world');
  const view = document.getElementById('view');
  const columns = document.getElementById('layout');
  const reports = document.getElementById('reports');
  const CANVAS_MIN = 160;               // CSS pixels wide, whatever the room
  const CRISP_SEARCH = 64;              // CSS pixels below the room's width searched for a crisp width
  const SIDE_MIN_EM = 16;               // the least width of the column beside the picture
  const BAR_MAX = 100;                  // CSS pixels of height that a browser bar may take
  const POSITION_STEPS = 64;            // layout positions come in 1/64 of a CSS pixel
  const MARGIN_MAX = 8;                 // CSS pixels that the picture may move to sit on device pixels
  const REPORTS_LINES = 5;              // the reports' least height, stacked
  const REPORTS_EM_MAX = 20;            // and their greatest
  let width = 0;  // CSS pixels, set by fit
  let height = 0;
  let deviceSize = null;  // [CSS width, CSS height, device width, device height] as last reported
  let ratioQuery = null;
  let settled = null;     // [width, height] of the viewport when the layout last took its whole height
  let leastHeight = 0;    // the least viewport height since

  function pixelRatio() {
    const ratio = window.devicePixelRatio || 1;
    return ratio > 0 && isFinite(ratio) ? ratio : 1;
  }
  function whole(value) { return Math.abs(value - Math.round(value)) < 1e-6; }
  function pixels(element, property) { return parseFloat(getComputedStyle(element)[property]) || 0; }

  // The viewport's height that the layout takes (see BAR_MAX).
  function viewportHeight() {
    const [w, h] = [window.innerWidth, window.innerHeight];
    if (settled !== null && w === settled[0] && h <= settled[1] && h >= settled[1] - BAR_MAX) {
      leastHeight = Math.min(leastHeight, h);
    } else {
      settled = [w, h];
      leastHeight = h;
    }
    return leastHeight;
  }

  function setSize(newWidth) {
    width = newWidth;
    height = newWidth * 3 / 4;
    world.style.width = view.style.width = width + 'px';
    world.style.height = view.style.height = height + 'px';
  }

  // The height from the top of the layout to the end of the reports' first
  // line, in the current arrangement.
  function toFirstReportLine() {
    const top = columns.getBoundingClientRect().top;
    return reports.getBoundingClientRect().top - top + reports.clientTop + pixels(reports, 'paddingTop') +
      (pixels(reports, 'lineHeight') || 1.2 * pixels(reports, 'fontSize'));
  }

  // The picture's width in `arrangement` for a viewport of `viewHeight`;
  // 0 where it does not fit.
  function widthIn(arrangement, viewHeight, ratio) {
    columns.className = arrangement;
    const body = document.body;
    const roomHeight = viewHeight - pixels(body, 'marginTop') - pixels(body, 'marginBottom');
    if (arrangement === 'beside') {
      const side = SIDE_MIN_EM * pixels(body, 'fontSize');
      const roomWidth = columns.clientWidth - pixels(columns, 'columnGap') - side - MARGIN_MAX;
      if (roomWidth < CANVAS_MIN) return 0;
      const fit = fittingWidth(roomWidth, roomHeight - MARGIN_MAX, ratio);
      setSize(fit);
      Controls.fold();
      return toFirstReportLine() <= roomHeight ? fit : 0;
    }
    Controls.fold();
    setSize(CANVAS_MIN);
    const others = toFirstReportLine() - CANVAS_MIN * 3 / 4;
    return fittingWidth(columns.clientWidth - MARGIN_MAX, roomHeight - others - MARGIN_MAX, ratio);
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

  // Stacked, the reports reach down to the viewport's bottom (REPORTS_LINES
  // at least, 20em at most), so that the newest report, which the view
  // follows at its end, starts in view; beside, they take the column's rest.
  function fitReports(viewHeight) {
    if (columns.className !== 'stacked') {
      reports.style.height = '';
      return;
    }
    const line = pixels(reports, 'lineHeight') || 1.2 * pixels(reports, 'fontSize');
    const frame = reports.offsetHeight - reports.clientHeight + pixels(reports, 'paddingTop') + pixels(reports, 'paddingBottom');
    const room = viewHeight - pixels(document.body, 'marginBottom') - (reports.getBoundingClientRect().top + window.scrollY);
    const most = REPORTS_EM_MAX * pixels(document.body, 'fontSize');
    reports.style.height = Math.max(REPORTS_LINES * line + frame, Math.min(room, most)) + 'px';
  }

  function fit() {
    const ratio = pixelRatio();
    const viewHeight = viewportHeight();
    const before = width;
    // The page keeps at least its height while the arrangements are tried,
    // so that the browser does not cut its scrolling short (a phone's bar
    // comes and goes as the page scrolls).
    columns.style.minHeight = columns.offsetHeight + 'px';
    view.style.marginLeft = view.style.marginTop = '';
    const beside = widthIn('beside', viewHeight, ratio);
    const stacked = widthIn('stacked', viewHeight, ratio);
    columns.className = beside >= stacked ? 'beside' : 'stacked';
    setSize(Math.max(beside, stacked));
    Controls.fold();
    placeOnDevicePixels(ratio);
    fitReports(viewHeight);
    columns.style.minHeight = '';
    if (width !== before) Frames.invalidate();
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
  // What is measured around the picture changed its size (the status took
  // another line, the fonts came): measured again, once the program runs.
  let measured = null;
  if (typeof ResizeObserver === 'function') {
    const sizes = new Map();
    measured = new ResizeObserver((entries) => {
      let changed = false;
      for (const entry of entries) {  // the first report of each is its size at the start
        const size = entry.target.offsetWidth + 'x' + entry.target.offsetHeight;
        if (sizes.has(entry.target) && sizes.get(entry.target) !== size) changed = true;
        sizes.set(entry.target, size);
      }
      if (changed) relayout();
    });
  }

  function start() {
    watchRatio();
    fit();
    if (measured !== null) {
      for (const id of ['controls', 'status']) measured.observe(document.getElementById(id));
      measured.observe(columns.querySelector('h1'));
    }
  }

  return {start, fitDrawingBuffer, width: () => width, height: () => height};
})();
