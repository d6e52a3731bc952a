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
  var counts = {steps: 0, frames: 0, ticks: 0, contextsLost: 0, contextsRestored: 0};
  Module.print = function (line) { pending += line + '\n'; };
  Module.printErr = function (line) { console.error(line); };


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
    // The view follows new reports unless the user has scrolled up.
    var following = reportsView.scrollTop + reportsView.clientHeight >= reportsView.scrollHeight - 4;
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
  var endStatus = 0;
  var contextLost = false;
  var stepButton = document.getElementById('step');
  var endButton = document.getElementById('end');

  // The status line: the steps taken, how the program ended, whether the
  // picture can be drawn. Written at a tick, not at every key press.
  var statusNote = '';  // what the status says before the steps, when the picture cannot be drawn
  function steps(n) { return n === 1 ? '1 step' : n + ' steps'; }
  function showStatus() {
    var text;
    if (ended) {
      text = 'The program ended with exit status ' + endStatus + ' after ' + steps(counts.steps) +
        ', as the window does on q. Reload the page to start again.';
    } else {
      text = 'Running: ' + steps(counts.steps) + '.';
    }
    if (contextLost) text = 'The browser took the graphics away; waiting for them to come back. ' + text;
    else if (statusNote) text = statusNote + ' ' + text;
    if (statusLine.textContent !== text) statusLine.textContent = text;
  }

  function step() {
    Module._lv_step();
    counts.steps++;
    flushReport();
    invalidate();
  }

  // q: the program ends with status 1, as the window does. Its reports stay.
  function end(status) {
    showReports();
    ended = true;
    endStatus = status;
    running = false;
    stopHolding();  // a held Step steps no more; the frame timer stops after its next tick
    statusLine.className = 'ended';
    world.style.opacity = '0.4';
    stepButton.disabled = true;
    endButton.disabled = true;
    showStatus();
  }

  // ---------------------------------------------------------------- keys
  // Keys anywhere on the page, as keys in the window: f and Shift+F step, q
  // and Shift+Q end, every other key does nothing (no scrolling, no find
  // bar). Tab, keys with Ctrl, Alt or Meta, and keys on a focused control
  // that the control uses (Enter and Space on a button, any key in a text
  // field) are the browser's.
  function isTextField(element) {
    return element !== null && (element.isContentEditable || /^(INPUT|TEXTAREA|SELECT)$/.test(element.tagName));
  }
  window.addEventListener('keydown', function (event) {
    if (event.ctrlKey || event.altKey || event.metaKey || event.key === 'Tab') return;
    var target = event.target instanceof Element ? event.target : null;
    if (isTextField(target)) return;
    var onButton = target !== null && (target.tagName === 'BUTTON' || target.tagName === 'A');
    if (onButton && (event.key === 'Enter' || event.key === ' ')) {
      if (target === stepButton) {  // steps at every press and repeat, as f does
        event.preventDefault();
        if (running) step();
      }
      return;
    }
    event.preventDefault();
    if (!running) return;
    var key = event.key.length === 1 ? event.key.toLowerCase() : '';
    if (key === 'f') step();
    else if (key === 'q') end(1);
  });

  // ---------------------------------------------------------------- buttons
  // Step: a press steps at once; held, it steps again after HOLD_DELAY_MS and
  // then every REPEAT_MS, as a held key repeats. Enter and Space on it are
  // keys (above); a click without a pointer (assistive tools) steps once.
  var HOLD_DELAY_MS = 500;
  var REPEAT_MS = 33;
  var holding = null;
  function stopHolding() {
    if (holding !== null) clearTimeout(holding);
    holding = null;
  }
  function holdStep(delay) {
    holding = setTimeout(function () {
      if (!running) return stopHolding();
      step();
      holdStep(REPEAT_MS);
    }, delay);
  }
  stepButton.addEventListener('pointerdown', function (event) {
    if (!running || event.button !== 0) return;
    event.preventDefault();  // no focus moved, no text selected, no long-press menu
    stepButton.setPointerCapture(event.pointerId);
    stopHolding();
    step();
    holdStep(HOLD_DELAY_MS);
  });
  ['pointerup', 'pointercancel', 'lostpointercapture'].forEach(function (type) {
    stepButton.addEventListener(type, stopHolding);
  });
  // Space presses a button when released: that press was the key's.
  stepButton.addEventListener('keyup', function (event) { if (event.key === ' ') event.preventDefault(); });
  stepButton.addEventListener('contextmenu', function (event) { event.preventDefault(); });
  stepButton.addEventListener('click', function (event) {
    if (event.detail === 0 && running) step();
  });
  endButton.addEventListener('click', function () { if (running) end(1); });

  // ---------------------------------------------------------------- drags
  // Positions in CSS pixels of the canvas, whole pixels as the window's
  // events give them. A drag holds the pointer (pointer capture), so it goes
  // on outside the canvas. As in the window, a second button pressed during a
  // drag starts a new drag, and releasing any button ends it.
  //
  // Touch: one finger orbits as the left button does; two pan by their
  // midpoint and zoom by their spread. A finger put down or lifted starts the
  // drag afresh from the current camera, so the picture never jumps.
  function position(event) {
    var box = world.getBoundingClientRect();
    return [Math.floor(event.clientX - box.left), Math.floor(event.clientY - box.top)];
  }
  function press(event) {
    var p = position(event);
    Module._lv_press(event.button + 1, p[0], p[1]);
    arm();
  }

  // A movement that happened before the last tick (the browser may deliver
  // it later, even just before the release) counts for that tick: it is
  // applied as the tick would have applied it. Movement after the last tick
  // waits for the next one, and a release discards it, as in the window.
  var lastTick = -Infinity;
  function catchUp(events, apply) {
    var early = null;
    for (var i = 0; i < events.length; i++) if (events[i].timeStamp <= lastTick) early = events[i];
    if (early === null) return;
    apply(early);
    if (Module._lv_update_drag(canvasWidth, canvasHeight)) invalidate();
  }
  function coalesced(event) {
    var list = typeof event.getCoalescedEvents === 'function' ? event.getCoalescedEvents() : [];
    return list.length > 0 ? list : [event];
  }

  var touches = new Map();  // pointerId -> [clientX, clientY] of the fingers down on the canvas
  function fingers() {
    var list = Array.from(touches.values()).slice(0, 2);
    var box = world.getBoundingClientRect();
    if (list.length === 1) return {x: Math.floor(list[0][0] - box.left), y: Math.floor(list[0][1] - box.top)};
    var midX = (list[0][0] + list[1][0]) / 2 - box.left;
    var midY = (list[0][1] + list[1][1]) / 2 - box.top;
    return {x: Math.floor(midX), y: Math.floor(midY), spread: Math.hypot(list[0][0] - list[1][0], list[0][1] - list[1][1])};
  }
  function touchesChanged() {
    // The last finger lifted is a release: movement after the last tick is
    // discarded, as in the window. A finger put down or lifted while others
    // stay keeps the movement so far, then starts afresh from that camera.
    if (touches.size === 0) return Module._lv_release();
    if (Module._lv_update_drag(canvasWidth, canvasHeight)) invalidate();
    var f = fingers();
    if (touches.size === 1) Module._lv_press(1, f.x, f.y);
    else Module._lv_pinch_press(f.x, f.y, f.spread);
    arm();
  }
  function touchMoved() {
    var f = fingers();
    if (touches.size === 1) Module._lv_move(f.x, f.y);
    else Module._lv_pinch_move(f.x, f.y, f.spread);
  }

  world.addEventListener('pointerdown', function (event) {
    if (!running || historyButton(event)) return;
    event.preventDefault();  // no text selection, no middle-button scrolling
    world.setPointerCapture(event.pointerId);
    if (event.pointerType === 'touch') {
      touches.set(event.pointerId, [event.clientX, event.clientY]);
      touchesChanged();
    } else {
      press(event);
    }
  });
  world.addEventListener('pointermove', function (event) {
    if (!running) return;
    if (event.pointerType === 'touch') {
      if (!touches.has(event.pointerId)) return;
      catchUp(coalesced(event), function (early) {
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
    catchUp(coalesced(event), function (early) {
      var p = position(early);
      Module._lv_move(p[0], p[1]);
    });
    var p = position(event);
    Module._lv_move(p[0], p[1]);
  });
  function release(event) {
    if (!running) return;
    if (event.pointerType === 'touch') {
      if (touches.delete(event.pointerId)) touchesChanged();
    } else {
      Module._lv_release();
    }
  }
  world.addEventListener('pointerup', release);
  world.addEventListener('pointercancel', release);
  world.addEventListener('lostpointercapture', release);
  world.addEventListener('contextmenu', function (event) { event.preventDefault(); });
  world.addEventListener('mousedown', function (event) { if (event.button === 1) event.preventDefault(); });

  // ---------------------------------------------------------------- history buttons
  // The mouse's back and forward buttons (4 and 5) over the picture do
  // nothing: they start or end no drag, and the browser does not go back or
  // forward, which it does on their release unless the page cancels it.
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

  // The wheel and a trackpad's pinch (which the browser sends as a wheel
  // with Ctrl) zoom the picture, never the page: a notch (3 lines, 100
  // pixels) zooms as the camera's middle-button drag of lv_wheel_notch()
  // pixels; smaller deltas add up to it.
  var wheelPixels = 0;  // of the zoom drag, not yet whole
  world.addEventListener('wheel', function (event) {
    event.preventDefault();
    if (!running) return;
    var notches = event.deltaY / [100, 3, 1][event.deltaMode];
    if (!isFinite(notches)) return;
    notches = Math.max(-100, Math.min(100, notches));  // far beyond the distance's bounds, and a whole int
    wheelPixels -= notches * Module._lv_wheel_notch();
    var dY = Math.trunc(wheelPixels);
    if (dY === 0) return;
    wheelPixels -= dY;
    Module._lv_wheel(dY);
    invalidate();
  }, {passive: false});

  // ---------------------------------------------------------------- size
  // The canvas takes the room the viewport leaves, up to the window's 800 x
  // 600, at 4:3, in whole CSS pixels that are whole device pixels too where
  // some size near the room's is; it sits on whole device pixels. Its drawing
  // buffer has exactly its size in device pixels.
  var view = document.getElementById('view');
  var canvasWidth = 0;  // CSS pixels, set by fitCanvas
  var canvasHeight = 0;
  var CANVAS_MIN = 160;
  var NARROW = '(max-width: 60em)';  // as the style sheet's
  function pixelRatio() {
    var ratio = window.devicePixelRatio || 1;
    return ratio > 0 && isFinite(ratio) ? ratio : 1;
  }
  function whole(value) { return Math.abs(value - Math.round(value)) < 1e-6; }
  function fitCanvas() {
    var ratio = pixelRatio();
    var maxWidth = Module._lv_canvas_width();
    var maxHeight = Module._lv_canvas_height();
    // The room: the picture column's width, and the viewport's height less
    // what is above the picture and what follows it in its column.
    // The column is beside the panel while the panel has its least width
    // beside it (the style sheet's media query), else above it.
    var layout = document.getElementById('layout');
    var roomWidth = layout.getBoundingClientRect().width;
    if (!window.matchMedia(NARROW).matches) {
      roomWidth -= parseFloat(getComputedStyle(document.getElementById('panel')).minWidth) +
        parseFloat(getComputedStyle(layout).columnGap);
    }
    var below = 0;
    for (var next = view.nextElementSibling; next !== null; next = next.nextElementSibling) {
      var style = getComputedStyle(next);
      below += next.getBoundingClientRect().height + parseFloat(style.marginTop) + parseFloat(style.marginBottom);
    }
    var top = view.getBoundingClientRect().top + window.scrollY - (parseFloat(view.style.marginTop) || 0);
    var roomHeight = window.innerHeight - top - below - parseFloat(getComputedStyle(document.body).marginBottom);
    var width = Math.floor(Math.min(maxWidth, roomWidth, roomHeight * maxWidth / maxHeight));
    width = Math.max(CANVAS_MIN, width - width % 4);
    var chosen = width;
    for (var w = width; w >= Math.max(CANVAS_MIN, width - 64); w -= 4) {
      if (whole(w * ratio) && whole(w * 3 / 4 * ratio)) { chosen = w; break; }
    }
    var height = chosen * 3 / 4;
    if (chosen !== canvasWidth || height !== canvasHeight) {
      canvasWidth = chosen;
      canvasHeight = height;
      world.style.width = view.style.width = chosen + 'px';
      world.style.height = view.style.height = height + 'px';
      invalidate();
    }
    // Whole device pixels from the viewport's corner, and whole CSS pixels
    // where that is a few pixels away (browsers place a canvas on a fraction
    // of a CSS pixel less reliably): layout positions come in 1/64 of a CSS
    // pixel.
    var box = view.getBoundingClientRect();
    var offsets = [parseFloat(view.style.marginLeft) || 0, parseFloat(view.style.marginTop) || 0];
    var at = [box.left - offsets[0], box.top - offsets[1]];
    var margins = at.map(function (start) {
      var k;
      for (k = 0; k < 64 * 8; k++) if (whole(start + k / 64) && whole((start + k / 64) * ratio)) return k / 64;
      for (k = 0; k < 64 * 8; k++) if (whole((start + k / 64) * ratio)) return k / 64;
      return 0;
    });
    if (margins[0] !== offsets[0]) view.style.marginLeft = margins[0] + 'px';
    if (margins[1] !== offsets[1]) view.style.marginTop = margins[1] + 'px';
  }

  // The drawing buffer: the canvas's size in device pixels, as the browser
  // reports it where it can, else the CSS size times the ratio. A report is
  // taken for the CSS size it was made at; a browser that emulates a ratio
  // (its developer tools) may report the size at a ratio of 1, so a size far
  // from the CSS size times the ratio is not taken either.
  var deviceSize = null;  // [CSS width, CSS height, device width, device height] as last reported
  function fitDrawingBuffer() {
    var ratio = pixelRatio();
    var width = Math.round(canvasWidth * ratio);
    var height = Math.round(canvasHeight * ratio);
    if (deviceSize !== null && deviceSize[0] === canvasWidth && deviceSize[1] === canvasHeight &&
        Math.abs(deviceSize[2] - canvasWidth * ratio) < 2 && Math.abs(deviceSize[3] - canvasHeight * ratio) < 2) {
      width = deviceSize[2];
      height = deviceSize[3];
    }
    if (world.width !== width || world.height !== height) {
      world.width = width;
      world.height = height;
    }
  }
  if (typeof ResizeObserver === 'function') {
    var observer = new ResizeObserver(function (entries) {
      var entry = entries[entries.length - 1];
      var css = entry.contentBoxSize && entry.contentBoxSize[0];
      var device = entry.devicePixelContentBoxSize && entry.devicePixelContentBoxSize[0];
      deviceSize = css && device ? [css.inlineSize, css.blockSize, device.inlineSize, device.blockSize] : null;
      invalidate();
    });
    try {
      observer.observe(world, {box: 'device-pixel-content-box'});  // also told of a new ratio alone
    } catch (error) {
      observer.observe(world);
    }
  }
  // A new viewport size or device pixel ratio (browser zoom, another screen).
  var ratioQuery = null;
  function watchRatio() {
    if (ratioQuery !== null) ratioQuery.removeEventListener('change', relayout);
    ratioQuery = window.matchMedia('(resolution: ' + pixelRatio() + 'dppx)');
    ratioQuery.addEventListener('change', relayout);
  }
  function relayout() {
    if (!framePeriodMs) return;  // the runtime has not started yet
    watchRatio();
    fitCanvas();
    invalidate();
  }
  window.addEventListener('resize', relayout);

  // ---------------------------------------------------------------- drawing
  var gl = null;
  var scene = null;  // what the context holds: program, locations, buffer
  var lostNotice = document.getElementById('lost-context');

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

  // One frame: the points in the cells' own order, in one draw call. Returns
  // false when there is nothing to draw with.
  function draw() {
    if (gl === null || scene === null || gl.isContextLost()) return false;
    fitDrawingBuffer();
    gl.viewport(0, 0, world.width, world.height);
    gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
    // Fills the points and the uniforms' values.
    var count = Module._lv_frame(canvasWidth, canvasHeight, world.width / canvasWidth);
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
    return true;
  }

  function startDrawing() {
    var options = {alpha: false, antialias: false, depth: true, stencil: false, preserveDrawingBuffer: false};
    gl = world.getContext('webgl', options) || world.getContext('experimental-webgl', options);
    if (gl === null) {
      world.hidden = true;
      document.getElementById('no-webgl').hidden = false;
      return;
    }
    // A lost context is said in place of the picture until the browser gives
    // it back; then everything it held is made again and drawn.
    world.addEventListener('webglcontextlost', function (event) {
      event.preventDefault();
      counts.contextsLost++;
      scene = null;
      contextLost = true;
      lostNotice.hidden = false;
      showStatus();
    });
    world.addEventListener('webglcontextrestored', function () {
      counts.contextsRestored++;
      contextLost = false;
      lostNotice.hidden = true;
      showStatus();
      setUpContext();
      invalidate();
    });
    setUpContext();
  }

  // ---------------------------------------------------------------- timer
  // A tick moves the camera of a drag, draws when something shown changed
  // (the camera, a step, the size, the ratio, a restored context) and shows
  // the new reports. While a drag lasts, the ticks come every 25 ms, counted
  // from the previous tick's due time rather than from when it ran (as the
  // window's timer is re-armed): a late tick does not delay the ones after
  // it. (setInterval lets a stream of key presses push its ticks back, down
  // to some 28 a second.) A tick more than a period late starts the count
  // afresh. Otherwise a tick comes only when something changed, at most
  // one a period: nothing is drawn while nothing moves.
  var due = 0;
  var timer = null;
  var dirty = true;
  var counting = 0;  // steps the status shows
  function arm() {
    if (timer !== null || !framePeriodMs) return;
    var now = performance.now();
    if (due < now) due = now;
    timer = setTimeout(tick, due - now);
  }
  // Something shown changed: the next tick draws.
  function invalidate() {
    dirty = true;
    arm();
  }
  function tick() {
    timer = null;
    var now = performance.now();
    lastTick = now;
    counts.ticks++;
    due += framePeriodMs;
    if (due < now) due = now + framePeriodMs;
    if (running && Module._lv_update_drag(canvasWidth, canvasHeight)) dirty = true;
    if (dirty && draw()) dirty = false;
    if (gl === null || contextLost) dirty = false;  // drawn when there is a context again
    showReports();
    if (counting !== counts.steps) {
      counting = counts.steps;
      showStatus();
    }
    if (running && Module._lv_dragging()) arm();
  }

  Module.onRuntimeInitialized = function () {
    Module._lv_start();
    framePeriodMs = Module._lv_frame_period() * 1000;
    running = true;
    stepButton.disabled = false;
    endButton.disabled = false;
    watchRatio();
    fitCanvas();
    try {
      startDrawing();
    } catch (error) {
      console.error(error);
      statusNote = 'The lattice cannot be drawn: ' + error.message + '.';
    }
    showStatus();
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
    camera: function () { return Array.from(Module.HEAPF32.subarray(Module._lv_camera() >> 2, (Module._lv_camera() >> 2) + 5)); },
    // True while a tick is due: something shown has not been drawn yet, or a
    // drag goes on.
    busy: function () { return timer !== null; },
    lastTick: function () { return lastTick; },
    // A frame drawn now and read back, bottom row first: [width, height,
    // RGBA bytes as base64].
    readPixels: function () {
      if (!draw()) return null;
      var bytes = new Uint8Array(world.width * world.height * 4);
      gl.readPixels(0, 0, world.width, world.height, gl.RGBA, gl.UNSIGNED_BYTE, bytes);
      var text = '';
      for (var i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
      return [world.width, world.height, btoa(text)];
    },
  };
})();
