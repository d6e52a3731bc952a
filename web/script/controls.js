// Controls: the keys and the buttons Step and End.
//
// Keys anywhere on the page, as keys in the window (KEYS): f and Shift+F
// step, q and Shift+Q end, every other key does nothing (no scrolling, no
// find bar). Tab, keys with Ctrl, Alt or Meta, and keys on a focused control
// that the control uses (Enter and Space on a button, any key in a text
// field) are the browser's.
//
// Step: a press steps at once; held, it steps again after HOLD_DELAY_MS and
// then every REPEAT_MS, as a held key repeats. Enter and Space on it are
// keys; a click without a pointer (assistive tools) steps once.
const Controls = (() => {
  const stepButton = document.getElementById('step');
  const endButton = document.getElementById('end');
  const HOLD_DELAY_MS = 500;
  const REPEAT_MS = 33;
  // What a key does while the program runs, by its character in lower case
  // (or its name: 'ArrowLeft').
  const KEYS = new Map([
    ['f', () => Program.step()],
    ['q', () => Program.end(1)],
  ]);
  let holding = null;  // the timer of a held Step

  function isTextField(element) {
    return element !== null && (element.isContentEditable || /^(INPUT|TEXTAREA|SELECT)$/.test(element.tagName));
  }
  window.addEventListener('keydown', (event) => {
    if (event.ctrlKey || event.altKey || event.metaKey || event.key === 'Tab') return;
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
    event.preventDefault();
    if (!Program.running()) return;
    const action = KEYS.get(event.key.length === 1 ? event.key.toLowerCase() : event.key);
    if (action) action();
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

  // A held Step steps no more once the program has ended.
  Program.whenEnded(() => {
    stopHolding();
    stepButton.disabled = true;
    endButton.disabled = true;
  });

  // The program runs: the buttons work.
  function start() {
    stepButton.disabled = false;
    endButton.disabled = false;
  }

  return {start};
})();
