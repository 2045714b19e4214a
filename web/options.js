// What the page's address asks for: ?start=SECONDS (or #t=SECONDS, a link to
// a moment), ?aspect, ?mute as the program's options, ?digest=FPS and
// ?bench[=FPS] for tests and measurements.
// A value that can't be used is reported and left at its default. The show's
// length, its scenes and the reading of a start come from the core itself
// (useCore), so the page and the program can't disagree about them.

let core = null;

// A whole number of frames per second from 1 to 1000; null otherwise.
export function parseFps(text) {
  if (!/^[0-9]+$/.test(text)) return null;
  const fps = Number(text);
  return fps >= 1 && fps <= 1000 ? fps : null;
}

// The options; start is the text of ?start as written (null without one),
// read by the core once it is loaded. #t= stands for ?start= and wins over
// it: it is the moment a link was made at.
export function readOptions(search, hash = '') {
  const query = new URLSearchParams(search);
  const moment = new URLSearchParams(hash.replace(/^#/, '')).get('t');
  if (moment !== null) query.set('start', moment);
  const options = { start: query.get('start'), aspect: query.has('aspect'), mute: query.has('mute'), digestFps: 0, benchFps: 0 };
  const problems = [];
  if (query.has('digest')) {
    const fps = parseFps(query.get('digest'));
    if (fps === null) problems.push(`digest takes a whole number of frames per second from 1 to 1000, not '${query.get('digest')}'`);
    else options.digestFps = fps;
  }
  if (query.has('bench')) {
    const text = query.get('bench');
    const fps = text === '' ? 60 : parseFps(text);
    if (fps === null) problems.push(`bench takes a whole number of frames per second from 1 to 1000, not '${text}'`);
    else options.benchFps = fps;
  }
  return { options, problems };
}

// Frames of a run at fps that come before a start written as text: the
// core's own rule, round(S * F) halves up with S exactly as written; -1 when
// the text is no start, 0 without one.
export function framesBefore(start, fps) {
  if (start === null) return 0;
  return core.ccall('vorlith_start_frames', 'number', ['string', 'number'], [start, fps]);
}

// The address of the page at a moment (ms of show time): the same options,
// the start given as #t=SECONDS, to the millisecond and no finer.
export function momentLink(href, ms) {
  const url = new URL(href);
  url.searchParams.delete('start');
  const whole = Math.max(0, Math.round(ms));
  const fraction = String(whole % 1000).padStart(3, '0').replace(/0+$/, '');
  url.hash = `t=${Math.floor(whole / 1000)}${fraction ? `.${fraction}` : ''}`;
  return url.href;
}

// The counter (microseconds) during frame k of a run at fps, as the core's
// virtual clock reads it: floor(k * 1e6 / fps).
export function frameTicks(k, fps) {
  return core._vorlith_frame_ticks(k, fps);
}

// Takes the loaded core: checks ?start against it (a start it can't read is
// reported and dropped) and gives what it says of the show: its length and
// its scenes, by name and window in milliseconds. Returns
// { show: { lengthMs, scenes }, problems }.
export function useCore(module, options) {
  core = module;
  const { lengthMs, end, scenes } = JSON.parse(core.UTF8ToString(core._vorlith_show_facts()));
  const problems = [];
  if (options.start !== null && framesBefore(options.start, 1) < 0) {
    problems.push(`start takes seconds from 0 to ${end}, not '${options.start}'`);
    options.start = null;
  }
  return { show: { lengthMs, scenes }, problems };
}
