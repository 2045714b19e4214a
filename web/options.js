// What the page's address asks for: ?start=SECONDS (or #t=SECONDS, a link to
// a moment), ?aspect, ?mute as the program's options, ?digest=FPS and
// ?bench[=FPS] for tests and measurements. A value that can't be used is
// reported and left at its default.

export const showLengthMs = 182956;

// Seconds from 0 to the show's length, in whole milliseconds rounded to the
// nearest; null when the text is no such number.
export function parseSeconds(text) {
  if (!/^[0-9]*\.?[0-9]*$/.test(text) || !/[0-9]/.test(text)) return null;
  const seconds = Number(text);
  if (!Number.isFinite(seconds) || seconds * 1000 > showLengthMs) return null;
  return Math.round(seconds * 1000);
}

// A whole number of frames per second from 1 to 1000; null otherwise.
export function parseFps(text) {
  if (!/^[0-9]+$/.test(text)) return null;
  const fps = Number(text);
  return fps >= 1 && fps <= 1000 ? fps : null;
}

export function readOptions(search, hash = '') {
  const query = new URLSearchParams(search);
  // #t=S stands for ?start=S (and wins over it: it is the moment linked to).
  const moment = new URLSearchParams(hash.replace(/^#/, '')).get('t');
  if (moment !== null) query.set('start', moment);
  const options = { startMs: 0, aspect: query.has('aspect'), mute: query.has('mute'), digestFps: 0, benchFps: 0 };
  const problems = [];
  if (query.has('start')) {
    const ms = parseSeconds(query.get('start'));
    if (ms === null) problems.push(`start takes seconds from 0 to 182.956, not '${query.get('start')}'`);
    else options.startMs = ms;
  }
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

// Frames of a run at fps that come before a start at startMs: round(S * F),
// halves up, in integers so that no rounding of a product can move it.
export function framesBefore(startMs, fps) {
  return Math.floor((2 * startMs * fps + 1000) / 2000);
}

// The address of the page at a moment (ms): the same options, the start given
// as #t=SECONDS.
export function momentLink(href, ms) {
  const url = new URL(href);
  url.searchParams.delete('start');
  const whole = Math.floor(ms / 1000);
  const fraction = String(ms % 1000).padStart(3, '0').replace(/0+$/, '');
  url.hash = `t=${whole}${fraction ? `.${fraction}` : ''}`;
  return url.href;
}

// The counter (microseconds) during frame k of a run at fps: floor(k * 1e6 / fps).
export function frameTicks(k, fps) {
  return Math.floor((k * 1000000) / fps);
}
