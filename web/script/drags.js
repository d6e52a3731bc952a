// Drags: the mouse, touch and the wheel on the picture move the camera, as
// the window's drags do (the C functions lv_press, lv_move, lv_release and
// lv_update_drag; the frame timer applies a drag's movement at its ticks).
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
  let wheelPixels = 0;        // of the wheel's zoom drag, not yet whole

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

  // The wheel and a trackpad's pinch (which the browser sends as a wheel
  // with Ctrl) zoom the picture, never the page: a notch (3 lines, 100
  // pixels) zooms as the camera's middle-button drag of lv_wheel_notch()
  // pixels; smaller deltas add up to it.
  world.addEventListener('wheel', (event) => {
    event.preventDefault();
    if (!Program.running()) return;
    let notches = event.deltaY / [100, 3, 1][event.deltaMode];
    if (!isFinite(notches)) return;
    notches = Math.max(-100, Math.min(100, notches));  // far beyond the distance's bounds, and a whole int
    wheelPixels -= notches * Module._lv_wheel_notch();
    const dY = Math.trunc(wheelPixels);
    if (dY === 0) return;
    wheelPixels -= dY;
    Module._lv_wheel(dY);
    Frames.invalidate();
  }, {passive: false});

  return {update, going};
})();
