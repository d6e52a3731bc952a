// The page's own part of latticeview: the frame timer, the keys, the mouse
// drags, the reports, the snapshots and the WebGL drawing. The lattice, the
// camera, the points of each frame and the snapshots' bytes come from the C
// functions of latticeview_api.cpp.
//
// This script comes before emscripten's runtime code in the page, so that the
// runtime prints through it.
var latticeview = (function () {
  var framePeriodMs = 0;  // the window's frame timer's, once the runtime has started
  var world = document.getElementById('world');
  var reportsView = document.getElementById('reports');
  var statusLine = document.getElementById('status');

  // ---------------------------------------------------------------- reports
  // A step prints its report line by line; the lines of one step are logged
  // as one piece, and kept as they are, so that saving gives exactly the
  // bytes shown. The reports of a frame's time are shown together at the
  // frame timer's next tick, as one new block: the browser lays out that
  // block alone, not the whole text again (as it would for one long run of
  // text), and nothing rewrites what is shown. Selecting and copying the
  // text gives the reports' bytes.
  var pending = '';
  var reports = [];
  var unshown = 0;  // reports not yet in the view, the last ones of `reports`
  var counts = {steps: 0, frames: 0, contextsLost: 0, contextsRestored: 0};
  Module.print = function (line) { pending += line + '\n'; };
  Module.printErr = function (line) { console.error(line); };

  // The view follows new reports unless the user has scrolled up.
  var following = true;
  reportsView.addEventListener('scroll', function () {
    following = reportsView.scrollTop + reportsView.clientHeight >= reportsView.scrollHeight - 4;
  });

  function flushReport() {
    if (pending === '') return;
    var text = pending;
    pending = '';
    reports.push(text);
    unshown++;
    console.log(text.slice(0, -1));
  }

  function showReports() {
    if (unshown === 0) return;
    var block = document.createElement('span');
    block.textContent = reports.slice(reports.length - unshown).join('');
    unshown = 0;
    reportsView.appendChild(block);
    if (following) reportsView.scrollTop = reportsView.scrollHeight;
  }

  function saveReports() {
    download(new Blob(reports, {type: 'text/plain'}), 'latticeview-reports.txt');
    reportsSaved = reports.length;
  }
  document.getElementById('save').addEventListener('click', saveReports);

  // ---------------------------------------------------------------- program
  var running = false;
  var ended = false;
  var timer = null;

  function step() {
    Module._lv_step();
    counts.steps++;
    flushReport();
  }

  // q: the program ends with status 1, as the window does. Its reports stay.
  function end(status) {
    showReports();
    ended = true;
    running = false;
    if (timer !== null) clearTimeout(timer);
    timer = null;
    statusLine.textContent = 'The program ended with exit status ' + status + '. Reload the page to start again.';
    statusLine.className = 'ended';
    world.style.opacity = '0.4';
  }

  // Keys anywhere on the page, as keys in the window: f and Shift+F step, q
  // and Shift+Q end, every other key does nothing. Keys with Ctrl, Alt or
  // Meta are the browser's.
  window.addEventListener('keydown', function (event) {
    if (!running || event.ctrlKey || event.altKey || event.metaKey) return;
    var key = event.key.length === 1 ? event.key.toLowerCase() : '';
    if (key === 'f') {
      event.preventDefault();
      step();
    } else if (key === 'q') {
      event.preventDefault();
      end(1);
    }
  });

  // ---------------------------------------------------------------- drags
  // Positions in CSS pixels of the canvas (800 x 600, the window's size),
  // whole pixels as the window's events give them. A drag holds the pointer
  // (pointer capture), so it goes on outside the canvas. As in the window, a
  // second button pressed during a drag starts a new drag, and releasing any
  // button ends it.
  function position(event) {
    var box = world.getBoundingClientRect();
    var width = box.width > 0 ? box.width : world.clientWidth;
    var height = box.height > 0 ? box.height : world.clientHeight;
    return [Math.floor((event.clientX - box.left) * Module._lv_canvas_width() / width),
      Math.floor((event.clientY - box.top) * Module._lv_canvas_height() / height)];
  }
  function press(event) {
    var p = position(event);
    Module._lv_press(event.button + 1, p[0], p[1]);
  }
  world.addEventListener('pointerdown', function (event) {
    if (!running || historyButton(event)) return;
    event.preventDefault();  // no text selection, no middle-button scrolling
    world.setPointerCapture(event.pointerId);
    press(event);
  });
  world.addEventListener('pointermove', function (event) {
    if (!running) return;
    if (event.button >= 0) {  // another button pressed or released during a drag
      if (historyButton(event)) return;
      if (event.buttons & (1 << [0, 2, 1, 3, 4][event.button])) press(event);
      else Module._lv_release();
      return;
    }
    if (event.buttons === 0) return;
    var p = position(event);
    Module._lv_move(p[0], p[1]);
  });
  function release() { if (running) Module._lv_release(); }
  world.addEventListener('pointerup', release);
  world.addEventListener('pointercancel', release);
  world.addEventListener('lostpointercapture', release);
  world.addEventListener('contextmenu', function (event) { event.preventDefault(); });
  world.addEventListener('mousedown', function (event) { if (event.button === 1) event.preventDefault(); });

  // ---------------------------------------------------------------- history buttons
  // The mouse's back and forward buttons (4 and 5) over the picture do
  // nothing, as any button after the third in the window: they start no
  // drag, and the browser does not go back or forward, which it does on
  // their release unless the page cancels it.
  function historyButton(event) { return event.button === 3 || event.button === 4; }
  ['pointerdown', 'pointermove', 'pointerup', 'mousedown', 'mouseup', 'auxclick'].forEach(function (type) {
    world.addEventListener(type, function (event) { if (historyButton(event)) event.preventDefault(); });
  });

  // ---------------------------------------------------------------- saving and leaving
  // A file offered for download under the name `name`.
  function download(blob, name) {
    var link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(function () { URL.revokeObjectURL(link.href); }, 60000);
  }

  // The whole lattice as it is now, the bytes that `lbm_trace --vtk` writes
  // for the same step, under the same name. After q too: the program has
  // ended, its state has not. Nothing before the program has started.
  function saveSnapshot() {
    if (!running && !ended) return;
    var size = Module._lv_encode_snapshot();
    var start = Module._lv_snapshot_data();
    var bytes = Module.HEAPU8.slice(start, start + size);
    download(new Blob([bytes], {type: 'application/octet-stream'}), Module.UTF8ToString(Module._lv_snapshot_name()));
  }
  document.getElementById('save-snapshot').addEventListener('click', saveSnapshot);

  // Closing, reloading or leaving the page while some reports were never
  // saved asks first, with the browser's own prompt.
  var reportsSaved = 0;  // the reports in the last file saved
  window.addEventListener('beforeunload', function (event) {
    if (reports.length === reportsSaved) return;
    event.preventDefault();
    event.returnValue = '';  // what older browsers look for
  });

  // ---------------------------------------------------------------- drawing
  var gl = null;
  var scene = null;  // what the context holds: program, locations, buffer

  function compile(type, source) {
    var shader = gl.createShader(type);
    gl.shaderSource(shader, source);
    gl.compileShader(shader);
    if (!gl.getShaderParameter(shader, gl.COMPILE_STATUS) && !gl.isContextLost())
      throw new Error('shader: ' + gl.getShaderInfoLog(shader));
    return shader;
  }

  // Everything the context holds, made anew for a new or restored context:
  // the program (this page's prelude and the window's shader bodies), the
  // attributes' places in a point, the uniforms' places in the frame's values.
  function setUpContext() {
    var program = gl.createProgram();
    gl.attachShader(program, compile(gl.VERTEX_SHADER, Module.UTF8ToString(Module._lv_vertex_shader())));
    gl.attachShader(program, compile(gl.FRAGMENT_SHADER, Module.UTF8ToString(Module._lv_fragment_shader())));
    var attributes = [];
    for (var i = 0; i < Module._lv_attribute_count(); i++) {
      gl.bindAttribLocation(program, i, Module.UTF8ToString(Module._lv_attribute_name(i)));
      attributes.push({size: Module._lv_attribute_size(i), offset: Module._lv_attribute_offset(i)});
    }
    gl.linkProgram(program);
    if (!gl.getProgramParameter(program, gl.LINK_STATUS) && !gl.isContextLost())
      throw new Error('shader program: ' + gl.getProgramInfoLog(program));
    var uniforms = [];
    var values = Module._lv_uniforms() >> 2;
    for (var u = 0; u < Module._lv_uniform_count(); u++) {
      var start = values + Module._lv_uniform_offset(u);
      uniforms.push({
        location: gl.getUniformLocation(program, Module.UTF8ToString(Module._lv_uniform_name(u))),
        size: Module._lv_uniform_size(u),
        data: Module.HEAPF32.subarray(start, start + Module._lv_uniform_size(u)),
      });
    }
    gl.clearColor(0, 0, 0, 1);
    gl.enable(gl.DEPTH_TEST);
    gl.depthFunc(gl.LESS);
    // Room for every point a frame can have; each frame rewrites its start.
    var stride = Module._lv_point_stride();
    var buffer = gl.createBuffer();
    gl.bindBuffer(gl.ARRAY_BUFFER, buffer);
    gl.bufferData(gl.ARRAY_BUFFER, Module._lv_points_max() * stride, gl.STREAM_DRAW);
    scene = {
      program: program, attributes: attributes, uniforms: uniforms, buffer: buffer,
      stride: stride, points: Module._lv_points(),
    };
  }

  // The drawing buffer at the device pixel ratio; the canvas stays 800 x 600
  // CSS pixels.
  function pixelRatio() {
    var ratio = window.devicePixelRatio || 1;
    return ratio > 0 && isFinite(ratio) ? ratio : 1;
  }
  function fitDrawingBuffer() {
    var ratio = pixelRatio();
    var width = Math.round(Module._lv_canvas_width() * ratio);
    var height = Math.round(Module._lv_canvas_height() * ratio);
    if (world.width !== width || world.height !== height) {
      world.width = width;
      world.height = height;
    }
  }

  // One frame: the points in the cells' own order, in one draw call.
  function draw() {
    if (gl === null || scene === null || gl.isContextLost()) return;
    fitDrawingBuffer();
    gl.viewport(0, 0, world.width, world.height);
    gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
    var count = Module._lv_frame(pixelRatio());  // fills the points and the uniforms' values
    gl.useProgram(scene.program);
    for (var u = 0; u < scene.uniforms.length; u++) {
      var uniform = scene.uniforms[u];
      if (uniform.size === 16) gl.uniformMatrix4fv(uniform.location, false, uniform.data);
      else if (uniform.size === 9) gl.uniformMatrix3fv(uniform.location, false, uniform.data);
      else if (uniform.size === 3) gl.uniform3fv(uniform.location, uniform.data);
      else if (uniform.size === 2) gl.uniform2fv(uniform.location, uniform.data);
      else gl.uniform1fv(uniform.location, uniform.data);
    }
    gl.bindBuffer(gl.ARRAY_BUFFER, scene.buffer);
    gl.bufferSubData(gl.ARRAY_BUFFER, 0, Module.HEAPU8.subarray(scene.points, scene.points + count * scene.stride));
    for (var i = 0; i < scene.attributes.length; i++) {
      gl.enableVertexAttribArray(i);
      gl.vertexAttribPointer(i, scene.attributes[i].size, gl.FLOAT, false, scene.stride, scene.attributes[i].offset);
    }
    gl.drawArrays(gl.POINTS, 0, count);
    counts.frames++;
  }

  function startDrawing() {
    var options = {alpha: false, antialias: false, depth: true, stencil: false, preserveDrawingBuffer: false};
    gl = world.getContext('webgl', options) || world.getContext('experimental-webgl', options);
    if (gl === null) {
      world.hidden = true;
      document.getElementById('no-webgl').hidden = false;
      return;
    }
    // A lost context is given back by the browser when it can: everything it
    // held is made again, and the timer's next tick draws.
    world.addEventListener('webglcontextlost', function (event) {
      event.preventDefault();
      counts.contextsLost++;
      scene = null;
    });
    world.addEventListener('webglcontextrestored', function () {
      counts.contextsRestored++;
      setUpContext();
    });
    setUpContext();
  }

  // ---------------------------------------------------------------- timer
  // Every 25 ms, counted from the previous tick's due time rather than from
  // when it ran (as the window's timer is re-armed): a late tick does not
  // delay the ones after it. (setInterval lets a stream of key presses push
  // its ticks back, down to some 28 a second.) A tick more than a period
  // late starts the count afresh.
  var due = 0;
  function tick() {
    Module._lv_update_drag();
    draw();
    showReports();
    if (!running) return;
    var now = performance.now();
    due += framePeriodMs;
    if (due < now) due = now + framePeriodMs;
    timer = setTimeout(tick, due - now);
  }

  Module.onRuntimeInitialized = function () {
    Module._lv_start();
    framePeriodMs = Module._lv_frame_period() * 1000;
    running = true;
    try {
      startDrawing();
    } catch (error) {
      console.error(error);
      statusLine.textContent = 'The lattice cannot be drawn: ' + error.message;
    }
    if (statusLine.textContent === 'Loading\u2026') statusLine.textContent = 'Running.';
    due = performance.now();
    tick();
  };
  Module.onAbort = function (what) {
    running = false;
    statusLine.textContent = 'The program could not start here: ' + what;
    statusLine.className = 'ended';
  };

  // For tests and measurements: what the page has done so far.
  return {
    counts: counts,
    reportText: function () { return reports.join(''); },
    showReports: showReports,
    ended: function () { return ended; },
    running: function () { return running; },
    camera: function () { return Array.from(Module.HEAPF32.subarray(Module._lv_camera() >> 2, (Module._lv_camera() >> 2) + 5)); }
  };
})();
