// Pictures out: Save the picture and Record.
//
// Save the picture saves exactly the pixels shown, the drawing buffer at its
// size in device pixels, as a PNG named by the step, frame_SSSSSS.png (the
// name lbm_trace gives its pictures). The drawing buffer is kept only until
// the browser shows it, so the picture is drawn and read in one task.
//
// Record films the picture with the browser's MediaRecorder, WebM where the
// browser offers it, else MP4, until Stop, and then saves the film,
// film_SSSSSS-SSSSSS.webm (or .mp4) named by the steps at its start and its
// end. The canvas's stream takes a frame only when the page asks for one:
// once at the start, then each time the picture is drawn (a step, a drag, a
// new size), so a film of an idle page grows by nothing. Closing or leaving
// the page while a film is recording asks first.
const PictureOut = (() => {
  const world = document.getElementById('world');
  const saveButton = document.getElementById('save-picture');
  const recordButton = document.getElementById('record');
  // The films' types, the first that the browser records chosen, and their names' endings.
  const FILM_TYPES = [['video/webm;codecs=vp9', 'webm'], ['video/webm;codecs=vp8', 'webm'], ['video/webm', 'webm'],
    ['video/mp4;codecs=avc1', 'mp4'], ['video/mp4', 'mp4']];
  const FILM_BITS_PER_SECOND = 8000000;
  let film = null;  // the film recording, until Stop
  let filmFrames = 0;

  const stepText = (step) => String(step).padStart(6, '0');

  function savePicture() {
    const name = `frame_${stepText(Program.steps())}.png`;
    if (!Drawing.draw()) return;
    Files.downloadPicture(world, name, 'the picture');
  }
  saveButton.addEventListener('click', savePicture);

  function filmType() {
    if (typeof MediaRecorder !== 'function' || typeof world.captureStream !== 'function') return null;
    return FILM_TYPES.find(([type]) => MediaRecorder.isTypeSupported(type)) || null;
  }

  // The picture was drawn: a frame of the film, if one is recording.
  function drawn() {
    if (film === null) return;
    film.requestFrame();
    filmFrames++;
  }

  function startFilm(type, extension) {
    const stream = world.captureStream(0);
    const track = stream.getVideoTracks()[0];
    // The frame asked of the track (as the standard has it), or of the
    // stream (as Firefox has it).
    let requestFrame = null;
    if (typeof track.requestFrame === 'function') requestFrame = () => track.requestFrame();
    else if (typeof stream.requestFrame === 'function') requestFrame = () => stream.requestFrame();
    if (requestFrame === null) {
      track.stop();
      cannotRecord();
      return;
    }
    const recorder = new MediaRecorder(stream, {mimeType: type, videoBitsPerSecond: FILM_BITS_PER_SECOND});
    const recording = {recorder, track, requestFrame, chunks: [], lastStep: null, stopping: false, dataSeen: false, giveUp: 0};
    const firstStep = Program.steps();
    recorder.addEventListener('dataavailable', (event) => {
      if (event.data.size > 0) recording.chunks.push(event.data);
      if (recording.stopping && recorder.state === 'recording') drain(recording, event.data.size > 0);
    });
    recorder.addEventListener('stop', () => {
      track.stop();
      const lastStep = recording.lastStep ?? Program.steps();
      const name = `film_${stepText(firstStep)}-${stepText(lastStep)}.${extension}`;
      Files.download(new Blob(recording.chunks, {type: recorder.mimeType || type}), name);
      Program.noteFile('Saved the film as ' + name + '.');
      recordButton.textContent = 'Record';
      recordButton.disabled = false;
    });
    recorder.addEventListener('error', (event) => {
      console.error('the film could not be recorded:', event.error || event);
      if (film === recording) film = null;
      if (recorder.state !== 'inactive') recorder.stop();
    });
    recorder.start();
    film = recording;
    recordButton.textContent = 'Stop';
    if (Drawing.draw()) drawn();  // the film starts with the picture as it is
  }

  // Stop: the picture once more, so that the last one lasts until now; the
  // film is saved once the recorder has taken every frame asked for. The
  // recorder encodes the frames in the background (its first one may take a
  // second) and holds the last one it took until it stops: it is asked for
  // its data until some comes and then none, a sign that the frames have
  // all reached it, or for DRAIN_MAX_MS at most.
  const DRAIN_POLL_MS = 100;
  const DRAIN_MAX_MS = 5000;
  function stopFilm() {
    if (film === null) return;
    const recording = film;
    film = null;
    recording.lastStep = Program.steps();
    recording.stopping = true;
    recording.giveUp = performance.now() + DRAIN_MAX_MS;
    if (Drawing.draw()) {
      recording.requestFrame();
      filmFrames++;
    }
    recordButton.textContent = 'Saving\u2026';
    recordButton.disabled = true;
    setTimeout(() => recording.recorder.requestData(), DRAIN_POLL_MS);
  }
  function drain(recording, gotData) {
    if (gotData) recording.dataSeen = true;
    if ((recording.dataSeen && !gotData) || performance.now() > recording.giveUp) recording.recorder.stop();
    else setTimeout(() => { if (recording.recorder.state === 'recording') recording.recorder.requestData(); }, DRAIN_POLL_MS);
  }

  recordButton.addEventListener('click', () => {
    if (film !== null) return stopFilm();
    const type = filmType();
    if (type !== null) startFilm(...type);
  });

  window.addEventListener('beforeunload', (event) => {
    if (film === null) return;
    event.preventDefault();
    event.returnValue = '';  // what older browsers look for
  });

  function cannotRecord() {
    recordButton.disabled = true;
    recordButton.title = 'This browser cannot record the picture.';
  }
  // The program runs: the buttons work where the picture can be drawn, and
  // Record where the browser can film it.
  function start() {
    const drawing = Drawing.ready();
    saveButton.disabled = !drawing;
    recordButton.disabled = !drawing;
    if (drawing && filmType() === null) cannotRecord();
  }

  return {start, drawn, filmFrames: () => filmFrames, recording: () => film !== null};
})();
