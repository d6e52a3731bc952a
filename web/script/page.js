// The page: starts everything once emscripten's runtime has started, does the
// page's work at each tick of the frame timer, and offers tests and
// measurements what the page has done (`latticeview`).
const latticeview = (() => {
  let workMs = 0;  // the ticks' work in all

  // A tick: the camera of a drag moves; a frame is drawn when something
  // shown changed (and handed to a film that is recording); the plot, the
  // new reports and steps are shown; the next tick comes while a drag goes
  // on. Returns whether something shown is still not drawn.
  function frame(dirty) {
    const start = performance.now();
    let undrawn = dirty;
    if (Program.running() && Drags.update()) undrawn = true;
    if (undrawn && Drawing.draw()) {
      undrawn = false;
      PictureOut.drawn();
    }
    if (!Drawing.ready()) undrawn = false;  // drawn when there is a context again
    Plot.show();
    Reports.show();
    Program.showStepsTaken();
    Program.describe(camera());
    if (Program.running() && Drags.going()) Frames.arm();
    workMs += performance.now() - start;
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
    Runs.start();
    Controls.start();
    Layout.start();
    Drawing.start();
    PictureOut.start();
    Plot.start();
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
      get plotDraws() { return Plot.draws(); },
      get filmFrames() { return PictureOut.filmFrames(); },
    },
    // The ticks' work and the plot's drawing, in ms in all; the values it keeps
    // (plotValue(step, probe, 0 for the intensity or 1 for the population))
    // and where its last drawing put them (plotGeometry().x(step), .y(value)).
    workMs: () => workMs,
    plotDrawMs: Plot.drawMs,
    plotSteps: Plot.steps,
    plotValue: Plot.value,
    plotGeometry: Plot.geometry,
    recording: PictureOut.recording,
    reportText: Reports.text,
    // Opens the File `file` as Open a snapshot does; resolves once it is
    // opened or refused. The opening of the file last chosen or dropped.
    openSnapshot: Runs.open,
    opening: Runs.opening,
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
