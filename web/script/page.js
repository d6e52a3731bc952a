// The page: starts everything once emscripten's runtime has started, does the
// page's work at each tick of the frame timer, and offers tests and
// measurements what the page has done (`latticeview`).
const latticeview = (() => {
  // A tick: the camera of a drag moves; a frame is drawn when something
  // shown changed; the new reports and steps are shown; the next tick comes
  // while a drag goes on. Returns whether something shown is still not drawn.
  function frame(dirty) {
    let undrawn = dirty;
    if (Program.running() && Drags.update()) undrawn = true;
    if (undrawn && Drawing.draw()) undrawn = false;
    if (!Drawing.ready()) undrawn = false;  // drawn when there is a context again
    Reports.show();
    Program.showStepsTaken();
    Program.describe(camera());
    if (Program.running() && Drags.going()) Frames.arm();
    return undrawn;
  }

  const CAMERA_FLOATS = 5;  // elevation, azimuth, distance, target x and y
  function camera() {
    const start = Module._lv_camera() >> 2;
    return Array.from(Module.HEAPF32.subarray(start, start + CAMERA_FLOATS));
  }

  Module.onRuntimeInitialized = () => {
    Program.start();
    Frames.start(Module._lv_frame_period() * 1000, frame);
    Controls.start();
    Layout.start();
    Drawing.start();
    Program.showStatus();
    Frames.tickNow();
  };
  Module.onAbort = (what) => Program.abort(what);

  return {
    counts: {
      get steps() { return Program.steps(); },
      get frames() { return Drawing.frames(); },
      get ticks() { return Frames.ticks(); },
      get contextsLost() { return Drawing.contextsLost(); },
      get contextsRestored() { return Drawing.contextsRestored(); },
    },
    reportText: Reports.text,
    showReports: Reports.show,
    ended: Program.ended,
    running: Program.running,
    camera,
    // True while a tick is due: something shown has not been drawn yet, or a
    // drag goes on.
    busy: Frames.busy,
    lastTick: Frames.lastTick,
    // A frame drawn now and read back, bottom row first: [width, height,
    // RGBA bytes as base64].
    readPixels: Drawing.readPixels,
  };
})();
