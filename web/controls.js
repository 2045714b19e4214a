// The viewer's controls: pause and resume (Space, a click on the picture),
// a seek bar with the six scenes marked (shown while the pointer moves,
// hidden while watching), ←/→ five seconds back and on, Home to the start,
// the media keys, `?` for the list of keys, and a link to the moment.
// It knows nothing of the show: the player it is given does the work.
//
// player: { playing(), paused(), time() (seconds), length (seconds),
//           scenes: [{ name, start (seconds) }], pause(), play(),
//           seek(seconds), link() }
// elements: the page's stage and canvas, and the bar's parts (index.html).

// How long the bar stays after the pointer last moved (ms).
const idleMs = 2500;
// How far ←/→ and the media keys move (seconds).
export const stepSeconds = 5;

function clockText(seconds) {
  const s = Math.max(0, Math.floor(seconds));
  return `${Math.floor(s / 60)}:${String(s % 60).padStart(2, '0')}`;
}

export function installControls(player, elements) {
  const { stage, canvas, bar, track, marks, played, time, toggle, copy, keys, help, toast } = elements;
  let hideTimer = null;
  track.setAttribute('aria-valuemax', String(player.length));

  for (const scene of player.scenes) {
    const mark = document.createElement('span');
    mark.className = 'mark';
    mark.style.left = `${(100 * scene.start) / player.length}%`;
    mark.title = scene.name;
    const label = document.createElement('span');
    label.textContent = scene.name;
    mark.append(label);
    marks.append(mark);
  }

  function showBar() {
    if (!player.playing()) return;
    bar.hidden = false;
    update();
    stage.classList.add('pointer');
    clearTimeout(hideTimer);
    hideTimer = setTimeout(() => {
      if (player.paused() || bar.matches(':hover') || !help.hidden) return;
      bar.hidden = true;
      stage.classList.remove('pointer');
    }, idleMs);
  }

  function hideBar() {
    clearTimeout(hideTimer);
    bar.hidden = true;
    stage.classList.remove('pointer');
  }

  // The bar follows the show frame by frame while it is shown; the media
  // session is told the position when the show jumps or stops or goes on
  // (it runs the position on by itself in between).
  let sessionState = null;
  function update(moved = false) {
    const t = player.time();
    const paused = player.paused();
    if (!bar.hidden) {
      played.style.width = `${Math.min(100, (100 * t) / player.length)}%`;
      time.textContent = `${clockText(t)} / ${clockText(player.length)}`;
      toggle.textContent = paused ? '▶' : '❚❚';
      toggle.setAttribute('aria-label', paused ? 'Play' : 'Pause');
      track.setAttribute('aria-valuenow', t.toFixed(1));
    }
    if (!navigator.mediaSession || (!moved && sessionState === paused)) return;
    sessionState = paused;
    navigator.mediaSession.playbackState = paused ? 'paused' : 'playing';
    try {
      navigator.mediaSession.setPositionState?.({ duration: player.length, playbackRate: 1, position: Math.min(t, player.length) });
    } catch (error) {
      // A browser that refuses the position simply shows none.
    }
  }

  function togglePause() {
    if (player.paused()) player.play();
    else player.pause();
    showBar();
  }

  function seekBy(seconds) {
    player.seek(Math.min(player.length, Math.max(0, player.time() + seconds)));
    showBar();
  }

  function seekToPointer(event) {
    const box = track.getBoundingClientRect();
    const share = Math.min(1, Math.max(0, (event.clientX - box.left) / box.width));
    player.seek(share * player.length);
  }

  let dragging = false;
  track.addEventListener('pointerdown', (event) => {
    event.stopPropagation();
    dragging = true;
    track.setPointerCapture(event.pointerId);
    seekToPointer(event);
  });
  track.addEventListener('pointermove', (event) => {
    if (dragging) seekToPointer(event);
  });
  track.addEventListener('pointerup', () => {
    dragging = false;
  });
  bar.addEventListener('click', (event) => event.stopPropagation());
  toggle.addEventListener('click', togglePause);
  copy.addEventListener('click', async () => {
    const link = player.link();
    let copied = false;
    try {
      await navigator.clipboard.writeText(link);
      copied = true;
    } catch (error) {
      copied = false;
    }
    toast.textContent = copied ? 'Link copied' : link;
    toast.hidden = false;
    setTimeout(() => {
      toast.hidden = true;
    }, 3000);
  });
  keys.addEventListener('click', () => {
    help.hidden = !help.hidden;
  });
  help.addEventListener('click', () => {
    help.hidden = true;
  });
  canvas.addEventListener('click', () => {
    if (player.playing()) togglePause();
  });
  stage.addEventListener('pointermove', showBar);

  // Keys the page takes for itself; true when the key was one of them.
  function onKey(event) {
    if (!player.playing()) return false;
    switch (event.key) {
      case ' ':
      case 'k':
        togglePause();
        return true;
      case 'ArrowLeft':
        seekBy(-stepSeconds);
        return true;
      case 'ArrowRight':
        seekBy(stepSeconds);
        return true;
      case 'Home':
        player.seek(0);
        showBar();
        return true;
      case '?':
        help.hidden = !help.hidden;
        return true;
      default:
        return false;
    }
  }

  if (navigator.mediaSession) {
    const session = navigator.mediaSession;
    const handlers = {
      play: () => player.play(),
      pause: () => player.pause(),
      seekbackward: (details) => seekBy(-(details.seekOffset || stepSeconds)),
      seekforward: (details) => seekBy(details.seekOffset || stepSeconds),
      seekto: (details) => player.seek(details.seekTime),
    };
    for (const [action, handler] of Object.entries(handlers)) {
      try {
        session.setActionHandler(action, handler);
      } catch (error) {
        // An action this browser does not know.
      }
    }
    if (typeof MediaMetadata === 'function')
      session.metadata = new MediaMetadata({ title: 'The Brim Tale', artist: 'Vorlith', artwork: [{ src: 'icons/vorlith-256.png', sizes: '256x256', type: 'image/png' }] });
  }

  return { onKey, update, showBar, hideBar };
}
