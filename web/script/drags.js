// Drags: the mouse, touch and the wheel on the picture move the camera, as
// the window's drags do (the C functions lv_press, lv_move, lv_release and
// lv_update_drag; the frame timer applies a drag's movement at its ticks);
// and the camera's steps of the keys and the zoom buttons.
//
// Positions in CSS pixels of the canvas, whole pixels as the window's events
// give them. A drag holds the pointer (pointer capture), so it goes on
// outside the canvas. As in the window, a second button pressed during a
// drag starts a new drag, and releasing any button ends it.
//
// Touch: one finger orbits as the left button does; two pan by their
// midpoint and zoom by their spread. A finger put down or lifted starts the
// drag afresh from the current camera, so the picture never jumps.
//
// The mouse's back and forward buttons (4 and 5) over the picture do
// nothing: they start or end no drag, and the browser does not go back or
// forward, which it does on their release unless the page cancels it.
const Drags = (() => {
  const world = document.getElementById('world');
  const touches = new Map();  // pointerId -> [clientX, clientY] of the fingers down on the canvas

  // The camera of the drag in progress follows its pointer; true if it moved.
  function update() { return Module._lv_update_drag(Layout.width(), Layout.height()) !== 0; }
  function going() { return Module._lv_dragging() !== 0; }

  function historyButton(event) { return event.button === 3 || event.button === 4; }
  function position(event) {
    const box = world.getBoundingClientRect();
    return [Math.floor(event.clientX - box.left), Math.floor(event.clientY - box.top)];
  }
  function press(event) {
    const p = position(event);
    Module._lv_press(event.button + 1, p[0], p[1]);
    Frames.arm();
  }

  // A movement that happened before the last tick (the browser may deliver
  // it later, even just before the release) counts for that tick: it is
  // applied as the tick would have applied it. Movement after the last tick
  // waits for the next one, and a release discards it, as in the window.
  function catchUp(events, apply) {
    const early = events.filter((event) => event.timeStamp <= Frames.lastTick()).pop();
    if (early === undefined) return;
    apply(early);
    if (update()) Frames.invalidate();
  }
  function coalesced(event) {
    const list = typeof event.getCoalescedEvents === 'function' ? event.getCoalescedEvents() : [];
    return list.length > 0 ? list : [event];
  }

  // One finger, or the midpoint and spread of the first two.
  function fingers() {
    const list = Array.from(touches.values()).slice(0, 2);
    const box = world.getBoundingClientRect();
    if (list.length === 1) return {x: Math.floor(list[0][0] - box.left), y: Math.floor(list[0][1] - box.top)};
    const midX = (list[0][0] + list[1][0]) / 2 - box.left;
    const midY = (list[0][1] + list[1][1]) / 2 - box.top;
    return {x: Math.floor(midX), y: Math.floor(midY), spread: Math.hypot(list[0][0] - list[1][0], list[0][1] - list[1][1])};
  }
  function touchesChanged() {
    // The last finger lifted is a release: movement after the last tick is
    // discarded, as in the window. A finger put down or lifted while others
    // stay keeps the movement so far, then starts afresh from that camera.
    if (touches.size === 0) return Module._lv_release();
    if (update()) Frames.invalidate();
    const f = fingers();
    if (touches.size === 1) Module._lv_press(1, f.x, f.y);
    else Module._lv_pinch_press(f.x, f.y, f.spread);
    Frames.arm();
  }
  function touchMoved() {
    const f = fingers();
    if (touches.size === 1) Module._lv_move(f.x, f.y);
    else Module._lv_pinch_move(f.x, f.y, f.spread);
  }

  world.addEventListener('pointerdown', (event) => {
    if (!Program.running() || historyButton(event)) return;
    event.preventDefault();  // no text selection, no middle-button scrolling
    world.focus({preventScroll: true});  // its keys move the camera
    world.setPointerCapture(event.pointerId);
    if (event.pointerType === 'touch') {
      touches.set(event.pointerId, [event.clientX, event.clientY]);
      touchesChanged();
    } else {
      press(event);
    }
  });
  world.addEventListener('pointermove', (event) => {
    if (!Program.running()) return;
    if (event.pointerType === 'touch') {
      if (!touches.has(event.pointerId)) return;
      catchUp(coalesced(event), (early) => {
        touches.set(event.pointerId, [early.clientX, early.clientY]);
        touchMoved();
      });
      touches.set(event.pointerId, [event.clientX, event.clientY]);
      touchMoved();
      return;
    }
    if (event.button >= 0) {  // another button pressed or released during a drag
      if (historyButton(event)) return;
      if (event.buttons & (1 << [0, 2, 1, 3, 4][event.button])) press(event);
      else Module._lv_release();
      return;
    }
    if (event.buttons === 0) return;
    catchUp(coalesced(event), (early) => {
      const p = position(early);
      Module._lv_move(p[0], p[1]);
    });
    const p = position(event);
    Module._lv_move(p[0], p[1]);
  });
  function release(event) {
    if (!Program.running()) return;
    if (event.pointerType === 'touch') {
      if (touches.delete(event.pointerId)) touchesChanged();
    } else {
      Module._lv_release();
    }
  }
  for (const type of ['pointerup', 'pointercancel', 'lostpointercapture']) world.addEventListener(type, release);
  world.addEventListener('contextmenu', (event) => { event.preventDefault(); });
  world.addEventListener('mousedown', (event) => { if (event.button === 1) event.preventDefault(); });
  for (const type of ['pointerdown', 'pointermove', 'pointerup', 'mousedown', 'mouseup', 'auxclick']) {
    world.addEventListener(type, (event) => { if (historyButton(event)) event.preventDefault(); });
  }

  // The camera moved at once (a zoom, a key): the next tick draws it.
  function zoomNotches(notches) {
    Module._lv_zoom_notches(notches);
    Frames.invalidate();
  }
  function zoomBy(factor) {
    Module._lv_zoom(factor);
    Frames.invalidate();
  }
  // A camera key: `steps` key steps of an orbit or a pan, as a drag of the
  // pointer that way.
  function cameraKey(kind, stepsX, stepsY) {
    Module._lv_camera_key(kind === 'pan' ? Module._lv_drag_pan() : Module._lv_drag_orbit(), stepsX, stepsY);
    Frames.invalidate();
  }

  // The wheel and a trackpad's pinch zoom the picture, never the page. A
  // wheel's notch changes the distance by a tenth (lv_zoom_notches) in every
  // engine, which each send a notch as another amount: Chromium 120 pixels;
  // Firefox 6 lines, or 114 pixels where it sends pixels; WebKitGTK the view's
  // height to the power 2/3, in whole pixels (GTK's scroll step); a page is a
  // notch. Smaller amounts (a trackpad) zoom by that part of a notch. A
  // pinch, which Chromium and Firefox send as a wheel with Ctrl and Chromium
  // as -100 ln(scale) pixels, scales the distance by the pinch's own scale,
  // as two fingers on a touch screen do; Ctrl with a whole notch is the
  // wheel's. One event zooms at most a few notches (zoomCamera).
  const ENGINE = /Firefox\//.test(navigator.userAgent) ? 'firefox' :
    /AppleWebKit\//.test(navigator.userAgent) && !/Chrome\/|Chromium\//.test(navigator.userAgent) ? 'webkit' : 'chromium';
  function notchPixels() {
    if (ENGINE === 'firefox') return 114;
    if (ENGINE === 'webkit') return Math.max(1, Math.floor(Math.pow(window.innerHeight, 2 / 3)));
    return 120;
  }
  const NOTCH_LINES = ENGINE === 'firefox' ? 6 : 3;
  world.addEventListener('wheel', (event) => {
    event.preventDefault();
    const mode = event.deltaMode;  // read first: Firefox then sends a wheel's notch as lines
    const delta = event.deltaY;
    if (!Program.running() || !isFinite(delta) || delta === 0) return;
    const notch = mode === 1 ? NOTCH_LINES : mode === 2 ? 1 : notchPixels();
    if (mode === 0 && event.ctrlKey && !Number.isInteger(delta / notch)) zoomBy(Math.exp(delta / 100));
    else zoomNotches(-delta / notch);
  }, {passive: false});
  // Safari's pinch on a trackpad: gesture events with the scale since the
  // gesture began.
  let gestureScale = 1;
  world.addEventListener('gesturestart', (event) => {
    event.preventDefault();
    gestureScale = 1;
  });
  world.addEventListener('gesturechange', (event) => {
    event.preventDefault();
    const scale = event.scale;
    if (!Program.running() || !(scale > 0) || !isFinite(scale)) return;
    zoomBy(gestureScale / scale);
    gestureScale = scale;
  });
  world.addEventListener('gestureend', (event) => { event.preventDefault(); });

  return {update, going, zoomNotches, cameraKey};
})();
