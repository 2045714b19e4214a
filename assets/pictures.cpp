#include "pictures.h"

#include <algorithm>
#include <cmath>

#include "lettering.h"
#include "paint.h"

namespace vorlith::assets {

namespace {

constexpr int samples = 4;  // supersampling of the lettering pictures, per axis

// One line of lettering centred on a new keyed picture.
Picture centredLettering(int width, int height, const char* text, const TextStyle& style, const ChromeStyle& chrome) {
  Canvas canvas(width, height, samples);
  const int margin = outlineMargin(canvas, chrome) + samples;
  const TextMask mask = fitText(text, style, canvas.width - 2.0 * margin, canvas.height - 2.0 * margin);
  if (!mask.ok()) return {};
  paintChrome(canvas, mask, (canvas.width - mask.width) / 2, (canvas.height - mask.height) / 2, chrome);
  return reduce(canvas, true);
}

}  // namespace

Picture makeLogo() {
  TextStyle style;
  style.capHeight = 300;
  style.widen = 1.18;
  style.embolden = 0.07;
  style.slant = 0.14;
  style.tracking = 0.06;
  ChromeStyle chrome;
  chrome.ramp = hotChromeRamp();
  chrome.outline = 2.0;
  chrome.bevel = 3.0;
  return centredLettering(300, 90, "VORLITH", style, chrome);
}

Picture makeTitle() {
  TextStyle style;
  style.capHeight = 200;
  style.widen = 1.12;
  style.embolden = 0.05;
  style.slant = 0.14;
  style.tracking = 0.05;
  ChromeStyle chrome;
  chrome.ramp = chromeRamp();
  chrome.outline = 2.0;
  chrome.bevel = 2.2;
  return centredLettering(300, 60, "THE BRIM TALE", style, chrome);
}

Picture makeCredit(const char* label, const char* name) {
  constexpr int width = 220, height = 50;
  Canvas canvas(width, height, samples);
  ChromeStyle labelChrome;
  labelChrome.ramp = steelRamp();
  labelChrome.outline = 1.5;
  labelChrome.bevel = 1.0;
  labelChrome.specular = 0.5;
  ChromeStyle nameChrome;
  nameChrome.ramp = chromeRamp();
  nameChrome.outline = 2.0;
  nameChrome.bevel = 2.0;

  TextStyle labelStyle;
  labelStyle.capHeight = 9.0 * samples;
  labelStyle.widen = 1.3;
  labelStyle.embolden = 0.04;
  labelStyle.tracking = 0.35;
  TextStyle nameStyle;
  nameStyle.capHeight = 25.0 * samples;
  nameStyle.widen = 1.2;
  nameStyle.embolden = 0.06;
  nameStyle.slant = 0.12;
  nameStyle.tracking = 0.06;

  const int margin = outlineMargin(canvas, nameChrome) + samples;
  const TextMask labelMask = fitText(label, labelStyle, canvas.width - 2.0 * margin, labelStyle.capHeight);
  const TextMask nameMask = fitText(name, nameStyle, canvas.width - 2.0 * margin, nameStyle.capHeight);
  if (!labelMask.ok() || !nameMask.ok()) return {};
  const int gap = 4 * samples;
  const int top = (canvas.height - labelMask.height - gap - nameMask.height) / 2;
  paintChrome(canvas, labelMask, (canvas.width - labelMask.width) / 2, top, labelChrome);
  paintChrome(canvas, nameMask, (canvas.width - nameMask.width) / 2, top + labelMask.height + gap, nameChrome);
  return reduce(canvas, true);
}

}  // namespace vorlith::assets
