// Controls: the keys, the buttons Step, End, Zoom in and Zoom out, and the
// files' group (Open a snapshot and the saves) folded behind one button where
// the buttons would take more than two rows.
//
// Keys anywhere on the page, as keys in the window (KEYS): f and Shift+F
// step, q and Shift+Q end. The keys of Firefox's quick find (/ and ') do
// nothing, so that the find bar does not take the keys after them. With the
// picture focused (Tab or a click), the camera keys (CAMERA_KEYS) move the
// camera, each by a fixed step, and the keys that would scroll the page do
// nothing. Every other key is the browser's: F-keys, Escape, Backspace, Tab,
// keys with Ctrl, Alt or Meta, Space, arrows, Page Up and Down, Home and End
// (which scroll the page, or the focused reports), and keys on a focused
// control that the control uses (Enter and Space on a button, any key in a
// text field).
//
// Step: a press steps at once; held, it steps again after HOLD_DELAY_MS and
// then every REPEAT_MS, as a held key repeats. Enter and Space on it are
// keys; a click without a pointer (assistive tools) steps once.
const Controls = (() => {
  const world = document.getElementById('world');
  const controls = document.getElementById('controls');
  const stepButton = document.getElementById('step');
  const endButton = document.getElementById('end');
  const zoomIn = document.getElementById('zoom-in');
  const zoomOut = document.getElementById('zoom-out');
  const savesToggle = document.getElementById('saves-toggle');
  const saves = document.getElementById('saves');
  const HOLD_DELAY_MS = 500;
  const REPEAT_MS = 33;
  // What a key does while the program runs, by its character in lower case
  // (or its name: 'ArrowLeft').
  const KEYS = new Map([
    ['f', () => Program.step()],
    ['q', () => Program.end(1)],
  ]);
  const QUICK_FIND_KEYS = new Set(['/', "'"]);
  // On the focused picture: a key and its camera step. Arrows orbit as a
  // left drag in the arrow's direction, with Shift they pan as a right drag
  // does; + and = zoom in a wheel's notch, - zooms out one.
  const CAMERA_KEYS = new Map([
    ['ArrowLeft', [1, 0]], ['ArrowRight', [-1, 0]], ['ArrowUp', [0, 1]], ['ArrowDown', [0, -1]],
  ]);
  const ZOOM_KEYS = new Map([['+', 1], ['=', 1], ['-', -1]]);
  const SCROLL_KEYS = new Set([' ', 'PageUp', 'PageDown', 'Home', 'End']);
  let holding = null;  // the timer of a held Step

  function isTextField(element) {
    return element !== null && (element.isContentEditable || /^(INPUT|TEXTAREA|SELECT)$/.test(element.tagName));
  }
  // A key on the focused picture; true if it was the picture's.
  function pictureKey(event) {
    const orbit = CAMERA_KEYS.get(event.key);
    const zoom = ZOOM_KEYS.get(event.key);
    if (orbit === undefined && zoom === undefined && !SCROLL_KEYS.has(event.key)) return false;
    event.preventDefault();
    if (!Program.running()) return true;
    if (orbit !== undefined) Drags.cameraKey(event.shiftKey ? 'pan' : 'orbit', orbit[0], orbit[1]);
    else if (zoom !== undefined) Drags.zoomNotches(zoom);
    return true;
  }
  window.addEventListener('keydown', (event) => {
    if (event.ctrlKey || event.altKey || event.metaKey || event.isComposing) return;
    const target = event.target instanceof Element ? event.target : null;
    if (isTextField(target)) return;
    const onButton = target !== null && (target.tagName === 'BUTTON' || target.tagName === 'A');
    if (onButton && (event.key === 'Enter' || event.key === ' ')) {
      if (target === stepButton) {  // steps at every press and repeat, as f does
        event.preventDefault();
        if (Program.running()) Program.step();
      }
      return;
    }
    if (event.key === 'Escape' && controls.classList.contains('open')) {
      openSaves(false);
      savesToggle.focus();
      return;
    }
    if (target === world && pictureKey(event)) return;
    const action = KEYS.get(event.key.length === 1 ? event.key.toLowerCase() : event.key);
    if (action) {
      event.preventDefault();
      if (Program.running()) action();
    } else if (QUICK_FIND_KEYS.has(event.key)) {
      event.preventDefault();
    }
  });

  function stopHolding() {
    if (holding !== null) clearTimeout(holding);
    holding = null;
  }
  function holdStep(delay) {
    holding = setTimeout(() => {
      if (!Program.running()) return stopHolding();
      Program.step();
      holdStep(REPEAT_MS);
    }, delay);
  }
  stepButton.addEventListener('pointerdown', (event) => {
    if (!Program.running() || event.button !== 0) return;
    event.preventDefault();  // no focus moved, no text selected, no long-press menu
    stepButton.setPointerCapture(event.pointerId);
    stopHolding();
    Program.step();
    holdStep(HOLD_DELAY_MS);
  });
  for (const type of ['pointerup', 'pointercancel', 'lostpointercapture']) stepButton.addEventListener(type, stopHolding);
  // Space presses a button when released: that press was the key's.
  stepButton.addEventListener('keyup', (event) => { if (event.key === ' ') event.preventDefault(); });
  stepButton.addEventListener('contextmenu', (event) => { event.preventDefault(); });
  stepButton.addEventListener('click', (event) => {
    if (event.detail === 0 && Program.running()) Program.step();
  });
  endButton.addEventListener('click', () => { if (Program.running()) Program.end(1); });
  // A single pointer's way to zoom (touch zooms with two fingers otherwise).
  zoomIn.addEventListener('click', () => { if (Program.running()) Drags.zoomNotches(1); });
  zoomOut.addEventListener('click', () => { if (Program.running()) Drags.zoomNotches(-1); });

  // The files' buttons, folded: the toggle opens them below the others;
  // choosing one, Escape or a press elsewhere closes them.
  function openSaves(open) {
    controls.classList.toggle('open', open);
    savesToggle.setAttribute('aria-expanded', String(open));
  }
  savesToggle.addEventListener('click', () => openSaves(!controls.classList.contains('open')));
  saves.addEventListener('click', (event) => {
    if (!controls.classList.contains('folded') || !(event.target instanceof HTMLButtonElement)) return;
    openSaves(false);
    savesToggle.focus();
  });
  document.addEventListener('pointerdown', (event) => {
    if (controls.classList.contains('open') && !controls.contains(event.target)) openSaves(false);
  });
  // Folds the files' buttons where the buttons would take more than two rows
  // (the layout measures the buttons after this).
  function fold() {
    controls.classList.remove('folded');
    const tops = new Set();
    for (const button of controls.querySelectorAll('button')) {
      const box = button.getBoundingClientRect();
      if (box.height > 0) tops.add(Math.round(box.top));
    }
    const folded = tops.size > 2;
    controls.classList.toggle('folded', folded);
    if (!folded) openSaves(false);
    if (folded && saves.contains(document.activeElement) && !controls.classList.contains('open')) savesToggle.focus();
  }
  // The first of the saves that can take the focus.
  function firstSave() {
    return controls.classList.contains('folded') && !controls.classList.contains('open') ? savesToggle :
      document.getElementById('save');
  }

  // Once the program has ended: a held Step steps no more, and the focus
  // leaves what no longer acts (these buttons, and those of other runs,
  // which the others disable before) for the saves, which still do.
  Program.whenEnded(() => {
    stopHolding();
    const focused = document.activeElement;
    for (const button of [stepButton, endButton, zoomIn, zoomOut]) button.disabled = true;
    if (focused === null || focused === document.body || focused === world || focused.disabled) firstSave().focus();
  });

  // The program runs: the buttons work.
  function start() {
    for (const button of [stepButton, endButton, zoomIn, zoomOut]) button.disabled = false;
  }

  return {start, fold};
})();
