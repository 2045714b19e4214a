#include "driver/snapshot.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "driver/seek.h"
#include "driver/show.h"

namespace vorlith {

namespace {

// The surface and the three layers, in the order a snapshot keeps them.
uint32_t* pixelBuffer(Show& show, int i) {
  if (i == 0) return show.surface;
  const OwnedImage& layer = i == 1 ? show.layerA : i == 2 ? show.layerB : show.layerC;
  return layer ? imageWords(*layer) : nullptr;
}

const uint32_t* pixelBuffer(const Show& show, int i) { return pixelBuffer(const_cast<Show&>(show), i); }

bool allZero(const uint32_t* words) {
  return std::all_of(words, words + framePixels, [](uint32_t word) { return word == 0; });
}

// The pixels a whole run has before a frame that reads none of those its
// predecessors left: surface and layers black, except layer C, which is
// white while the tunnel scene plays (it fades from white).
void showCanonicalPixels(Show& show) {
  const bool tunnelPlaying = show.currentScene == 5 && !show.sceneStarting;
  for (int i = 0; i < 4; ++i) {
    if (uint32_t* words = pixelBuffer(show, i)) std::memset(words, i == 3 && tunnelPlaying ? 255 : 0, frameBytes);
  }
}

// Copies count items into a vector that keeps its room from one save to the next.
template <typename T>
bool copyInto(std::vector<T>& to, const T* from, size_t count) {
  try {
    to.assign(from, from + count);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

template <typename T>
void copyOut(const std::vector<T>& from, T* to, size_t count) {
  std::copy_n(from.begin(), std::min(count, from.size()), to);
}

// What a snapshot keeps of the show besides its clocks and pixels, each part
// paired with its place in the snapshot: field(a, b) for a value, list(items,
// count, kept) for an array. One list for saving and restoring alike.
template <typename ShowRef, typename SnapshotRef, typename Field, typename List>
void eachPart(ShowRef& show, SnapshotRef& s, Field field, List list) {
  field(show.frameIndex, s.frameIndex);
  field(show.currentScene, s.currentScene);
  field(show.sceneStarting, s.sceneStarting);
  field(show.timedScene, s.timedScene);
  field(show.clearAfterPresent, s.clearAfterPresent);
  field(show.quit, s.quit);
  field(show.cubeScene, s.cubeScene);
  field(show.tunnelScene, s.tunnelScene);

  auto& cube = show.cube;
  field(cube.colour, s.cubeColour);
  field(cube.intensity, s.cubeIntensity);
  field(cube.drawCount, s.cubeDrawCount);
  const size_t remembered = cube.rotations && cube.colours ? static_cast<size_t>(cube.capacity) : 0;
  list(cube.rotations.get(), remembered, s.cubeRotations);
  list(cube.colours.get(), remembered, s.cubeColours);

  list(show.blobs.particles.get(), static_cast<size_t>(show.blobs.particleCount), s.particles);
  field(show.blobs.angleX, s.blobAngles[0]);
  field(show.blobs.angleY, s.blobAngles[1]);
  field(show.blobs.angleZ, s.blobAngles[2]);
  list(show.titleLights.lights.get(), static_cast<size_t>(show.titleLights.lightCount), s.titleLights);
  list(show.tunnelLights.lights.get(), static_cast<size_t>(show.tunnelLights.lightCount), s.tunnelLights);

  field(show.tunnel.cameraPosition, s.cameraPosition);
  field(show.tunnel.lightPosition, s.lightPosition);
  field(show.tunnel.rotation, s.rotation);
  for (int i = 0; i < 3; ++i) field(show.tunnel.angles[i], s.tunnelAngles[i]);
}

}  // namespace

size_t ShowSnapshot::bytes() const {
  size_t total = sizeof *this;
  total += cubeRotations.capacity() * sizeof(VectorCube::Rotation) + cubeColours.capacity() * sizeof(uint32_t);
  total += particles.capacity() * sizeof(BlobParticle);
  total += (titleLights.capacity() + tunnelLights.capacity()) * sizeof(LightField::Light);
  for (const auto& buffer : pixels) total += buffer.capacity() * sizeof(uint32_t);
  return total;
}

bool snapshotSave(const Show& show, uint32_t fps, bool withPixels, ShowSnapshot& s) {
  bool ok = true;
  eachPart(
      show, s, [](const auto& from, auto& to) { to = from; },
      [&ok](const auto* items, size_t count, auto& kept) { ok = ok && copyInto(kept, items, count); });
  s.fps = fps;
  s.showTimerStart = show.showTimer.startTicks();
  s.sceneTimerStart = show.sceneTimer.startTicks();
  s.hasPixels = withPixels;
  for (int i = 0; i < 4; ++i) {
    const uint32_t* words = pixelBuffer(show, i);
    if (!withPixels || !words || allZero(words)) {
      s.pixels[i].clear();
    } else {
      ok = ok && copyInto(s.pixels[i], words, framePixels);
    }
  }
  return ok;
}

void snapshotRestore(Show& show, const ShowSnapshot& s) {
  eachPart(
      show, s, [](auto& to, const auto& from) { to = from; },
      [](auto* items, size_t count, const auto& kept) {
        if (items) copyOut(kept, items, count);
      });
  show.counter->hold(0);
  show.showTimer.startAt(s.showTimerStart);
  show.sceneTimer.startAt(s.sceneTimerStart);

  if (!s.hasPixels) {
    showCanonicalPixels(show);
    return;
  }
  for (int i = 0; i < 4; ++i) {
    uint32_t* words = pixelBuffer(show, i);
    if (!words) continue;
    if (s.pixels[i].size() == static_cast<size_t>(framePixels))
      std::memcpy(words, s.pixels[i].data(), frameBytes);
    else
      std::memset(words, 0, frameBytes);
  }
}

uint64_t showAdvanceTo(Show& show, uint64_t target, uint32_t fps, SnapshotStore* store) {
  target = std::min(target, finalFrame(fps));
  if (show.frameIndex >= target || show.quit) return 0;
  const uint64_t from = show.frameIndex;

  // Where the show stands, pixels and all: the way back should no frame near
  // the target start from pixels that can be put without drawing.
  ShowSnapshot origin;
  if (!snapshotSave(show, fps, true, origin)) {
    while (show.frameIndex < target && !show.quit) showPlayOffScreen(show, fps);
    return target - from;
  }

  // One frame for its state alone. Whether it read any pixel an earlier frame
  // left: it did not when the surface was cleared before it, or when it
  // wrote every pixel before reading one (the layers it read are then those
  // every such frame finds). The state before it saved when asked, or when
  // the store wants it and it read none.
  ShowSnapshot scratch;
  const auto playAlone = [&](ShowSnapshot* before) {
    const bool cleared = show.frameIndex == 0 || show.clearAfterPresent;
    const bool wanted = store && store->wants(show.frameIndex);
    ShowSnapshot* state = before ? before : wanted ? &scratch : nullptr;
    const bool saved = state && snapshotSave(show, fps, false, *state);
    showPlayOffScreen(show, fps);
    const bool fresh = saved && (cleared || show.surfaceCovered);
    if (wanted && fresh) store->keep(*state);
    return fresh;
  };

  // Up to the last few frames: their state alone. Of the last few, the state
  // before each is kept, to draw from the latest that read no earlier pixel.
  constexpr uint64_t tail = 3;
  const uint64_t tailStart = target - std::min(target - from, tail);
  show.drawing = false;
  while (show.frameIndex < tailStart && !show.quit) playAlone(nullptr);
  ShowSnapshot before[tail];
  bool fresh[tail] = {};
  uint64_t played = 0;
  while (show.frameIndex < target && !show.quit) {
    fresh[played] = playAlone(&before[played]);
    ++played;
  }
  show.drawing = true;

  uint64_t drawn = 0;
  if (show.clearAfterPresent) {
    // The target frame finds the surface black.
    showCanonicalPixels(show);
  } else {
    uint64_t i = played;
    while (i > 0 && !fresh[i - 1]) --i;
    snapshotRestore(show, i > 0 ? before[i - 1] : origin);
    const uint64_t first = show.frameIndex;
    while (show.frameIndex < target && !show.quit) showPlayOffScreen(show, fps);
    drawn = target - first;
  }
  return drawn;
}

SnapshotStore::SnapshotStore(uint32_t fps, uint64_t spacingFrames, size_t budgetBytes)
    : fps_(fps), spacing_(std::max<uint64_t>(spacingFrames, 1)), budget_(budgetBytes) {}

namespace {
bool frameBelow(const std::unique_ptr<ShowSnapshot>& s, uint64_t frame) { return s->frameIndex < frame; }
}  // namespace

bool SnapshotStore::wants(uint64_t k) const {
  // One snapshot per stretch of `spacing` frames, the first one kept.
  const uint64_t slotStart = k / spacing_ * spacing_;
  const auto at = std::lower_bound(snapshots_.begin(), snapshots_.end(), slotStart, frameBelow);
  return at == snapshots_.end() || (*at)->frameIndex >= slotStart + spacing_;
}

void SnapshotStore::offer(const Show& show) {
  // Where a restore without pixels is exact: before the first frame, and
  // after a frame that cleared the surface.
  if (!(show.frameIndex == 0 || show.clearAfterPresent) || show.quit || !wants(show.frameIndex)) return;
  ShowSnapshot snapshot;
  if (snapshotSave(show, fps_, false, snapshot)) keep(snapshot);
}

void SnapshotStore::keep(const ShowSnapshot& s) {
  if (s.hasPixels || s.fps != fps_ || !wants(s.frameIndex)) return;
  std::unique_ptr<ShowSnapshot> snapshot(new (std::nothrow) ShowSnapshot);
  if (!snapshot) return;
  size_t size = 0;
  try {
    *snapshot = s;
    size = snapshot->bytes();
    snapshots_.insert(std::lower_bound(snapshots_.begin(), snapshots_.end(), s.frameIndex, frameBelow),
                      std::move(snapshot));
  } catch (const std::bad_alloc&) {
    return;
  }
  bytes_ += size;

  // Over budget: half as many, twice as far apart.
  while (bytes_ > budget_ && snapshots_.size() > 1) {
    spacing_ *= 2;
    std::vector<std::unique_ptr<ShowSnapshot>> kept;
    kept.reserve(snapshots_.size());
    bytes_ = 0;
    for (auto& s : snapshots_) {
      if (!kept.empty() && kept.back()->frameIndex / spacing_ == s->frameIndex / spacing_) continue;
      bytes_ += s->bytes();
      kept.push_back(std::move(s));
    }
    snapshots_ = std::move(kept);
  }
}

const ShowSnapshot* SnapshotStore::before(uint64_t target) const {
  const auto after = std::upper_bound(snapshots_.begin(), snapshots_.end(), target,
                                      [](uint64_t frame, const std::unique_ptr<ShowSnapshot>& s) { return frame < s->frameIndex; });
  return after == snapshots_.begin() ? nullptr : std::prev(after)->get();
}

bool showSeek(Show& show, SnapshotStore& store, uint64_t target) {
  const ShowSnapshot* from = store.before(target);
  if (!from) return false;
  snapshotRestore(show, *from);
  showAdvanceTo(show, target, store.fps(), &store);
  return true;
}

}  // namespace vorlith
