// The frame is shown crisp: 320x200 pixels at the largest whole multiple that
// fits the window in device pixels (at least 1), or 320x240 times that with
// the 4:3 aspect of a CRT, where each row is stretched by 6/5.

export const frameWidth = 320;
export const frameHeight = 200;

// The scale and the canvas's size in CSS pixels for a window of the given CSS
// size at the given device-pixel ratio.
export function frameLayout(windowWidth, windowHeight, pixelRatio, aspect) {
  const ratio = pixelRatio > 0 ? pixelRatio : 1;
  const shownHeight = aspect ? 240 : frameHeight;
  const fit = Math.min(Math.floor((windowWidth * ratio) / frameWidth), Math.floor((windowHeight * ratio) / shownHeight));
  const scale = Math.max(1, fit);
  return { scale, width: (frameWidth * scale) / ratio, height: (shownHeight * scale) / ratio };
}
