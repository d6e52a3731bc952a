// Reports: what the program prints, shown, logged, kept and saved.
//
// A step prints its report line by line; the lines of one step are logged
// as one piece, and kept as they are, so that saving gives exactly the
// bytes shown. The reports of a frame's time are shown together at the
// frame timer's next tick, as one new block: the browser lays out that
// block alone, not the whole text again (as it would for one long run of
// text), and nothing rewrites what is shown. Selecting and copying the
// text gives the reports' bytes.
//
// Closing, reloading or leaving the page while some reports were never
// saved asks first, with the browser's own prompt.
const Reports = (() => {
  const view = document.getElementById('reports');
  const FILE_NAME = 'latticeview-reports.txt';
  const LABEL = view.getAttribute('aria-label');
  const reports = [];
  let pending = '';  // the lines printed since the last report was kept
  let unshown = 0;   // reports not yet in the view, the last ones of `reports`
  let saved = 0;     // the reports in the last file saved
  let followedTo = 0;  // where the view last scrolled to follow new reports

  Module.print = (line) => { pending += line + '\n'; };
  Module.printErr = (line) => { console.error(line); };

  // Keeps and logs what was printed since the last call (a step's lines) as
  // one report.
  function flush() {
    if (pending === '') return;
    const text = pending;
    pending = '';
    reports.push(text);
    unshown++;
    console.log(text.slice(0, -1));
  }

  // Shows the reports kept since the last call, as one block. The view
  // follows new reports, unless the user has scrolled elsewhere: it shows
  // the newest report's first line, and as much of what follows as fits.
  function show() {
    if (unshown === 0) return;
    const following = Math.abs(view.scrollTop - followedTo) < 2 ||
      view.scrollTop + view.clientHeight >= view.scrollHeight - 4;
    const block = document.createElement('span');
    block.textContent = reports.slice(reports.length - unshown).join('');
    unshown = 0;
    view.appendChild(block);
    if (!following) return;
    const blockTop = block.getBoundingClientRect().top - view.getBoundingClientRect().top - view.clientTop +
      view.scrollTop - parseFloat(getComputedStyle(view).paddingTop);
    const newest = blockTop + block.getBoundingClientRect().height -
      (reports[reports.length - 1].split('\n').length - 1) * parseFloat(getComputedStyle(view).lineHeight);
    view.scrollTop = Math.min(newest, view.scrollHeight - view.clientHeight);
    followedTo = view.scrollTop;
  }

  // Another run: the reports shown and saved from now on are its own, those
  // of the steps after `step`.
  function startOver(step) {
    reports.length = 0;
    pending = '';
    unshown = 0;
    saved = 0;
    followedTo = 0;
    view.textContent = '';
    view.setAttribute('aria-label', step === 0 ? LABEL : `Reports of the steps after step ${step}, the newest last`);
  }

  function save() {
    Files.download(new Blob(reports, {type: 'text/plain'}), FILE_NAME);
    saved = reports.length;
    Program.noteFile('Saved the reports as ' + FILE_NAME + '.');
  }
  document.getElementById('save').addEventListener('click', save);

  window.addEventListener('beforeunload', (event) => {
    if (reports.length === saved) return;
    event.preventDefault();
    event.returnValue = '';  // what older browsers look for
  });

  return {flush, show, startOver, text: () => reports.join(''), unsaved: () => reports.length - saved};
})();
