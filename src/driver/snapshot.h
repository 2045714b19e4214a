#pragma once
// Snapshots of a running show and the exact seek built on them.
//
// A frame of the show reads from the frames before it: the two clocks' start
// readings, the timeline, the cube's trail and colour, the blobs' positions,
// colours and switches, the lights' places and colours, the tunnel's camera,
// the levels the scenes carry, and the pixels of the surface and the three
// work layers. A snapshot holds exactly that; the pictures, tables and
// textures, which never change after start-up, stay with the show.
//
// Most frames read no pixel that an earlier frame left: a scene clears the
// surface after presenting, or writes every pixel of it before it reads any,
// and the work layers are cleared or written whole before they are read. So
// a seek plays the frames before its target for their state alone (cheap: no
// pixel is written) and draws only the last one or two, from the pixels a
// whole run has there (showAdvanceTo).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "driver/scenes.h"
#include "effects/blob_field.h"
#include "effects/light_field.h"
#include "effects/vector_cube.h"
#include "math/matrix.h"
#include "math/vector.h"

namespace vorlith {

struct Show;

struct ShowSnapshot {
  // The frame the restored show draws next, and the rate the run plays at
  // (the clocks' readings hold only for runs at that rate).
  uint64_t frameIndex = 0;
  uint32_t fps = 0;

  // The timeline and the two clocks' start readings.
  int32_t currentScene = 1;
  bool sceneStarting = true;
  int32_t timedScene = 0;
  bool clearAfterPresent = false;
  bool quit = false;
  uint64_t showTimerStart = 0;
  uint64_t sceneTimerStart = 0;

  CubeScene cubeScene;
  TunnelScene tunnelScene;

  // The cube: its settings and the memory of its last states.
  uint32_t cubeColour = 0;
  int32_t cubeIntensity = 0;
  int32_t cubeDrawCount = 0;
  std::vector<VectorCube::Rotation> cubeRotations;
  std::vector<uint32_t> cubeColours;

  std::vector<BlobParticle> particles;
  uint8_t blobAngles[3] = {0, 0, 0};
  std::vector<LightField::Light> titleLights;
  std::vector<LightField::Light> tunnelLights;

  // The tunnel's camera as it was last set (the rest it works out again
  // before each picture).
  Vector3 cameraPosition;
  Vector3 lightPosition;
  Matrix4 rotation;
  int32_t tunnelAngles[3] = {0, 0, 0};

  // The surface and layers A, B and C, in that order, when the snapshot was
  // taken with its pixels; an empty buffer stands for one that is all 0.
  bool hasPixels = false;
  std::vector<uint32_t> pixels[4];

  // Bytes this snapshot holds.
  size_t bytes() const;
};

// Records where the show stands before its next frame. With pixels: the
// surface and the layers too (all-zero ones take no room); without, a
// restore puts the pixels a whole run has before a frame that reads none
// left by earlier frames (see showAdvanceTo). False when memory is short.
bool snapshotSave(const Show& show, uint32_t fps, bool withPixels, ShowSnapshot& snapshot);

// Puts the show back where the snapshot was taken: the next frame is its
// frameIndex, on the virtual clock at its fps. The show must have been
// started (showStartup) on the same pack.
void snapshotRestore(Show& show, const ShowSnapshot& snapshot);

// Brings a show on the virtual clock at fps, standing before frame
// show.frameIndex exactly as a whole run at fps does, to the point before
// frame `target` (never past the final frame), exactly as a whole run has it.
// Frames are played off-screen: for their state alone while their pixels
// cannot reach the target, drawn where they can. Returns the number of
// frames drawn (one or two; all of them in the rare case that no frame near
// the target starts from pixels a whole run can be known to have). The store,
// when given, is offered the frames on the way.
class SnapshotStore;
uint64_t showAdvanceTo(Show& show, uint64_t target, uint32_t fps, SnapshotStore* store = nullptr);

// Snapshots without pixels kept along a run at one frame rate, about one
// every `spacing` frames, within a memory budget: a snapshot is kept only
// before a frame that reads no pixel an earlier frame left (so that the
// pixels a restore puts are exactly the whole run's), and when the budget
// would be passed every other one is dropped and the spacing doubles.
class SnapshotStore {
 public:
  SnapshotStore(uint32_t fps, uint64_t spacingFrames, size_t budgetBytes);

  uint32_t fps() const { return fps_; }
  uint64_t spacing() const { return spacing_; }
  size_t bytes() const { return bytes_; }
  size_t count() const { return snapshots_.size(); }

  // Whether a snapshot before frame k would be kept: none is kept yet in
  // its stretch of `spacing` frames.
  bool wants(uint64_t k) const;
  // Keeps a copy of a snapshot without pixels at the store's rate, taken
  // before a frame that reads no pixel an earlier frame left, if wanted.
  void keep(const ShowSnapshot& snapshot);
  // A snapshot of a show on the virtual clock at fps, standing exactly as a
  // whole run does, kept if wanted and before frame 0 or after a frame that
  // cleared the surface.
  void offer(const Show& show);
  // The latest snapshot at or before frame `target`, or null.
  const ShowSnapshot* before(uint64_t target) const;

 private:
  uint32_t fps_;
  uint64_t spacing_;
  size_t budget_;
  size_t bytes_ = 0;
  std::vector<std::unique_ptr<ShowSnapshot>> snapshots_;  // by frame, ascending
};

// Seeks a started show to the point before frame `target` of a whole run at
// the store's rate (virtual clock): restores the store's latest snapshot at
// or before it, then showAdvanceTo, offering the store what it passes. False
// (the show untouched) when the store has no snapshot before the target;
// a store offered frame 0 always has one.
bool showSeek(Show& show, SnapshotStore& store, uint64_t target);

}  // namespace vorlith
