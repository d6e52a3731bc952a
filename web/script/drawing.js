// Drawing: the picture in WebGL 1. Each frame is one draw call over the
// window's points, with the window's shader bodies after this page's
// prelude; the points and the uniforms' values come from the C functions.
// Without WebGL the page says so in place of the picture; a lost context is
// said in place of the picture and in the status until the browser gives it
// back, and then everything it held is made again and drawn.
const Drawing = (() => {
  const world = document.getElementById('world');
  const lostNotice = document.getElementById('lost-context');
  const LOST = 'The browser took the graphics away; waiting for them to come back.';
  let gl = null;
  let scene = null;     // what the context holds: program, locations, buffer
  let lost = false;     // the context is lost
  let failure = '';     // why the picture cannot be drawn, if it cannot
  let frames = 0;
  let contextsLost = 0;
  let contextsRestored = 0;

  function compile(type, source) {
    const shader = gl.createShader(type);
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
    const program = gl.createProgram();
    gl.attachShader(program, compile(gl.VERTEX_SHADER, Module.UTF8ToString(Module._lv_vertex_shader())));
    gl.attachShader(program, compile(gl.FRAGMENT_SHADER, Module.UTF8ToString(Module._lv_fragment_shader())));
    const attributes = [];
    for (let i = 0; i < Module._lv_attribute_count(); i++) {
      gl.bindAttribLocation(program, i, Module.UTF8ToString(Module._lv_attribute_name(i)));
      attributes.push({size: Module._lv_attribute_size(i), offset: Module._lv_attribute_offset(i)});
    }
    gl.linkProgram(program);
    if (!gl.getProgramParameter(program, gl.LINK_STATUS) && !gl.isContextLost())
      throw new Error('shader program: ' + gl.getProgramInfoLog(program));
    const uniforms = [];
    const values = Module._lv_uniforms() >> 2;
    for (let u = 0; u < Module._lv_uniform_count(); u++) {
      const start = values + Module._lv_uniform_offset(u);
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
    const stride = Module._lv_point_stride();
    const buffer = gl.createBuffer();
    gl.bindBuffer(gl.ARRAY_BUFFER, buffer);
    gl.bufferData(gl.ARRAY_BUFFER, Module._lv_points_max() * stride, gl.STREAM_DRAW);
    scene = {program, attributes, uniforms, buffer, stride, points: Module._lv_points()};
  }

  // One frame: the points in the cells' own order, in one draw call. Returns
  // false when there is nothing to draw with.
  function draw() {
    if (gl === null || scene === null || gl.isContextLost()) return false;
    Layout.fitDrawingBuffer();
    gl.viewport(0, 0, world.width, world.height);
    gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
    // Fills the points and the uniforms' values.
    const count = Module._lv_frame(Layout.width(), Layout.height(), world.width / Layout.width());
    gl.useProgram(scene.program);
    for (const uniform of scene.uniforms) {
      if (uniform.size === 16) gl.uniformMatrix4fv(uniform.location, false, uniform.data);
      else if (uniform.size === 9) gl.uniformMatrix3fv(uniform.location, false, uniform.data);
      else if (uniform.size === 3) gl.uniform3fv(uniform.location, uniform.data);
      else if (uniform.size === 2) gl.uniform2fv(uniform.location, uniform.data);
      else gl.uniform1fv(uniform.location, uniform.data);
    }
    gl.bindBuffer(gl.ARRAY_BUFFER, scene.buffer);
    gl.bufferSubData(gl.ARRAY_BUFFER, 0, Module.HEAPU8.subarray(scene.points, scene.points + count * scene.stride));
    scene.attributes.forEach((attribute, i) => {
      gl.enableVertexAttribArray(i);
      gl.vertexAttribPointer(i, attribute.size, gl.FLOAT, false, scene.stride, attribute.offset);
    });
    gl.drawArrays(gl.POINTS, 0, count);
    frames++;
    return true;
  }

  // The status says first that the context is lost, else why the picture
  // cannot be drawn, if it cannot.
  function notePicture() {
    Program.notePicture(lost ? LOST : failure);
  }

  function startContext() {
    const options = {alpha: false, antialias: false, depth: true, stencil: false, preserveDrawingBuffer: false};
    gl = world.getContext('webgl', options) || world.getContext('experimental-webgl', options);
    if (gl === null) {
      world.hidden = true;
      document.getElementById('no-webgl').hidden = false;
      return;
    }
    world.addEventListener('webglcontextlost', (event) => {
      event.preventDefault();
      contextsLost++;
      scene = null;
      lost = true;
      lostNotice.hidden = false;
      notePicture();
    });
    world.addEventListener('webglcontextrestored', () => {
      contextsRestored++;
      lost = false;
      lostNotice.hidden = true;
      notePicture();
      setUpContext();
      Frames.invalidate();
    });
    setUpContext();
  }

  function start() {
    try {
      startContext();
    } catch (error) {
      console.error(error);
      failure = 'The lattice cannot be drawn: ' + error.message + '.';
      notePicture();
    }
  }

  // A frame drawn now and read back, bottom row first: [width, height, RGBA
  // bytes as base64]; null when nothing can be drawn.
  function readPixels() {
    if (!draw()) return null;
    const bytes = new Uint8Array(world.width * world.height * 4);
    gl.readPixels(0, 0, world.width, world.height, gl.RGBA, gl.UNSIGNED_BYTE, bytes);
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return [world.width, world.height, btoa(text)];
  }

  return {
    start, draw, readPixels,
    // There is a context to draw with: not without WebGL, nor while it is lost.
    ready: () => gl !== null && !lost,
    frames: () => frames,
    contextsLost: () => contextsLost,
    contextsRestored: () => contextsRestored,
  };
})();
