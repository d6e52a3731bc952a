// Runs: other runs than the one from start-up.
//
// Open a snapshot (the button, or one file dropped onto the picture) reads a
// .vti file with the snapshot reader of lbm_trace and continues its lattice
// from its step with its parameters, as `lbm_trace --resume FILE` does. A
// file that is not a snapshot of this lattice is refused, with the reader's
// reason, and the run goes on. A file larger than a snapshot can be is read
// no further than that.
//
// The parameters (tau, spacing, source, source-value: lbm_trace's options)
// come from the address (?tau=0.6&source=10,20) at start-up, or from the
// settings form, whose "Restart with these" starts a new run from step 0;
// each is read as lbm_trace reads its option. A value refused is said, naming
// the parameter, and nothing of it taken: the run keeps its parameters (at
// start-up, the start-up values). A restart puts the parameters that are not
// the start-up values in the address, so that it can be shared.
//
// A new run shows and saves its own reports; where reports not saved would
// go, the page asks first. The heading names the parameters that are not the
// start-up values. Once the program has ended (q), nothing is opened or
// restarted: the page is reloaded for that.
const Runs = (() => {
  const [openButton, fileInput, view, settings, form, restartButton, formError, headingNote] =
    ['open', 'open-file', 'view', 'settings', 'parameters', 'restart', 'parameters-error', 'run-parameters']
      .map((id) => document.getElementById(id));
  const encoder = new TextEncoder();
  let names = [];  // the parameters' names, set by start
  let opening = Promise.resolve();  // the last file's opening

  const field = (name) => document.getElementById('parameter-' + name);
  const text = (pointer) => Module.UTF8ToString(pointer);
  const parameterText = (i, startUp) => text(Module._lv_parameter_text(i, startUp ? 1 : 0));

  // `bytes` into the module's input buffer at `offset`; false where they do
  // not fit.
  function putInput(bytes, offset = 0) {
    if (offset + bytes.length > Module._lv_input_size()) return false;
    Module.HEAPU8.set(bytes, Module._lv_input() + offset);
    return true;
  }
  const putText = (value, offset = 0) => putInput(encoder.encode(value + '\0'), offset);

  // Takes the parameters [name, text] for the next restart; returns what is
  // wrong with them, [name, sentence] each, having forgotten them all if
  // anything is.
  function takeParameters(values) {
    Module._lv_forget_parameters();
    const wrong = [];
    const seen = new Set();
    values.forEach(([name, value]) => {  // (not for...of: emscripten's minifier loses its pattern)
      const i = names.indexOf(name);
      if (i < 0) {
        wrong.push([name, `'${name}' is not a parameter (${names.join(', ')}).`]);
      } else if (seen.has(name)) {
        wrong.push([name, `${name} is given more than once.`]);
      } else if (!putText(value) || !Module._lv_take_parameter(i)) {
        wrong.push([name, `Invalid ${text(Module._lv_parameter_what(i))} '${value}' for ${name} ` +
          `(${text(Module._lv_parameter_rule(i))}).`]);
      }
      seen.add(name);
    });
    if (wrong.length > 0) Module._lv_forget_parameters();
    return wrong;
  }

  // The run's parameters, each as `name value`: all, or those that are not
  // the start-up values.
  function described(all) {
    const parts = names.map((name, i) => [name, parameterText(i, false), parameterText(i, true)])
      .filter(([, value, startUp]) => all || value !== startUp).map(([name, value]) => name + ' ' + value);
    return parts.length < 2 ? parts.join('') : parts.slice(0, -1).join(', ') + ' and ' + parts[parts.length - 1];
  }

  // The run's parameters in the heading (those not at start-up) and the form.
  function showParameters() {
    const differing = described(false);
    headingNote.textContent = differing ? ' (' + differing + ')' : '';
    names.forEach((name, i) => {
      field(name).value = parameterText(i, false);
      field(name).removeAttribute('aria-invalid');
    });
    formError.textContent = '';
  }

  const sentences = (wrong) => wrong.map(([, sentence]) => sentence).join(' ');

  // Shows what was refused in the form, the values kept as given.
  function showRefused(values, wrong) {
    values.filter(([name]) => names.includes(name)).forEach(([name, value]) => {
      field(name).value = value;
      field(name).setAttribute('aria-invalid', String(wrong.some(([refused]) => refused === name)));
    });
    formError.textContent = sentences(wrong);
    settings.open = true;
  }

  // Whether the reports not saved may go: asks where there are some.
  function mayDropReports() {
    const unsaved = Reports.unsaved();
    return unsaved === 0 || window.confirm(`The new run shows its own reports: the ${unsaved === 1 ? 'report' :
      unsaved + ' reports'} not saved will be gone from the page. Go on?`);
  }

  // The address of the run: its parameters that are not the start-up values.
  function showInAddress() {
    const query = names.map((name, i) => [name, parameterText(i, false), parameterText(i, true)])
      .filter(([, value, startUp]) => value !== startUp)
      .map(([name, value]) => name + '=' + encodeURIComponent(value).replace(/%2C/g, ',')).join('&');
    try {
      history.replaceState(null, '', location.pathname + (query ? '?' + query : '') + location.hash);
    } catch (error) {
      // an address that the browser does not let the page change (some file: addresses)
    }
  }

  async function open(file) {
    if (!Program.running()) {
      Program.noteFile('The program has ended: reload the page to open a snapshot.');
      return;
    }
    const name = `'${file.name}'`;
    const refuse = (reason) => Program.noteFile(`${name} is not a latticeview snapshot: ${reason}. The run goes on.`);
    const most = Module._lv_snapshot_max_bytes();
    let bytes;
    try {
      bytes = new Uint8Array(await file.slice(0, most).arrayBuffer());
    } catch (error) {
      Program.noteFile(`Cannot read ${name}: ${error.message || error}. The run goes on.`);
      return;
    }
    if (!Program.running()) return;
    putInput(bytes);
    if (file.size > most) {
      const head = Module._lv_read_snapshot_head(bytes.length);
      refuse(head ? text(head) : `it is larger than a snapshot of this lattice can be (${file.size} bytes, at most ${most})`);
      return;
    }
    if (!putText(file.name, bytes.length)) putText('', bytes.length);
    const reason = Module._lv_read_snapshot(bytes.length);
    if (reason) return refuse(text(reason));
    const step = Module._lv_read_step();
    const withoutFieldData = !Module._lv_read_has_field_data();
    if (!mayDropReports()) {
      Program.noteFile(`${name} was not opened: the run goes on.`);
      return;
    }
    Module._lv_continue_snapshot();
    Program.startOver();
    showParameters();
    Program.noteFile(`Opened ${name}: the run goes on from step ${step} with ${described(true)}` +
      (withoutFieldData ? ' (a snapshot without field data: its step from its name, the start-up parameters)' : '') +
      '; the reports start again there.');
  }

  openButton.addEventListener('click', () => {
    fileInput.value = '';
    fileInput.click();
  });
  fileInput.addEventListener('change', () => {
    if (fileInput.files.length === 1) opening = open(fileInput.files[0]);
  });
  // A file dropped onto the picture is opened; one dropped elsewhere is
  // nothing (the browser would leave the page for it).
  const carriesFiles = (event) => event.dataTransfer !== null && Array.from(event.dataTransfer.types).includes('Files');
  window.addEventListener('dragover', (event) => {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    event.dataTransfer.dropEffect = view.contains(event.target) && Program.running() ? 'copy' : 'none';
  });
  window.addEventListener('drop', (event) => {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    if (!view.contains(event.target)) return;
    const files = event.dataTransfer.files;
    if (files.length === 1) opening = open(files[0]);
    else Program.noteFile('Drop one snapshot at a time.');
  });

  form.addEventListener('submit', (event) => {
    event.preventDefault();
    if (!Program.running()) return;
    const values = names.map((name) => [name, field(name).value]);
    const wrong = takeParameters(values);
    if (wrong.length > 0) {
      showRefused(values, wrong);
      Program.noteFile('Not restarted: ' + sentences(wrong));
      return;
    }
    if (!mayDropReports()) {
      Module._lv_forget_parameters();
      return;
    }
    Module._lv_restart();
    Program.startOver();
    showParameters();
    showInAddress();
    Program.noteFile(`Restarted from step 0 with ${described(true)}.`);
  });

  // The parameters of the address, [name, text] each; a part that cannot be
  // decoded is given as it is, to be refused by its name.
  function addressParameters() {
    const decode = (part) => {
      try {
        return decodeURIComponent(part);
      } catch (error) {
        return part;
      }
    };
    return location.search.slice(1).split('&').filter((part) => part !== '').map((part) => {
      const equals = part.indexOf('=');
      return equals < 0 ? [decode(part), ''] : [decode(part.slice(0, equals)), decode(part.slice(equals + 1))];
    });
  }

  Program.whenEnded(() => {
    openButton.disabled = true;
    restartButton.disabled = true;
  });

  // The program runs: the run from start-up takes the address's parameters.
  function start() {
    names = Array.from({length: Module._lv_parameter_count()}, (_, i) => text(Module._lv_parameter_name(i)));
    openButton.disabled = false;
    restartButton.disabled = false;
    const values = addressParameters();
    const wrong = values.length > 0 ? takeParameters(values) : [];
    if (values.length > 0 && wrong.length === 0) {
      Module._lv_restart();
      Program.startOver();
    }
    showParameters();
    if (wrong.length > 0) {
      showRefused(values, wrong);
      Program.noteFile('The address\'s parameters were not taken: ' + sentences(wrong) +
        ' This run has the start-up parameters.');
    }
  }

  return {start, open, opening: () => opening};
})();
