// The site kept for use without a network by its service worker (sw.js).
// When this page came from an older version and a newer one has been kept,
// the page changes over to it, but only while nothing plays: it asks the new
// worker to take over and reloads.
export function keepOffline(status, idle) {
  if (!('serviceWorker' in navigator) || !window.isSecureContext) return;
  const container = navigator.serviceWorker;
  const updating = Boolean(container.controller);
  const changeOver = (worker) => {
    if (updating && worker && idle()) worker.postMessage('take over');
  };
  container.addEventListener('controllerchange', () => {
    if (updating && idle()) location.reload();
  });
  container
    .register('sw.js')
    .then((registration) => {
      changeOver(registration.waiting);
      registration.addEventListener('updatefound', () => {
        const worker = registration.installing;
        worker?.addEventListener('statechange', () => {
          if (worker.state === 'installed') changeOver(worker);
        });
      });
      return container.ready;
    })
    .then(() => {
      status.offline = 'kept';
    })
    .catch(() => {
      status.offline = 'not kept';
    });
}
