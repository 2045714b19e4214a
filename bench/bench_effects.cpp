// Cost of the additive line, the cube, the blobs, the ribbons, and of one
// whole frame of the cube scene and of the ribbon scene.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "driver/scenes.h"
#include "driver/schedule.h"
#include "effects/blob_field.h"
#include "effects/ribbon_field.h"
#include "effects/vector_cube.h"
#include "frame_buffer.h"
#include "image/additive_line.h"
#include "math/angles.h"
#include "scene_pictures.h"
#include "support.h"

namespace vorlith {
namespace {

// The scene pictures in a scratch folder, the working directory while it
// lives; notices are recorded, not shown.
struct PictureFolder {
  PictureFolder() { test::writeScenePictures("."); }
  test::ScratchDirectory dir{true};
  test::NoticeRecorder notices;
};

using Frame = test::FrameBuffer;

void BM_AdditiveLine(benchmark::State& state) {
  Frame f;
  for (auto _ : state) {
    drawAdditiveLine(f.image, 20, 30, 300, 170, 0x40C0FF, 20);  // 281 points, x-major
    drawAdditiveLine(f.image, 150, -20, 170, 220, 0x40C0FF, 20);  // 241 points, 21 off frame
    benchmark::DoNotOptimize(f.words.data());
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_AdditiveLine);

// The cube as the scene draws it: 60 states at scales 0.1 .. 1.48, each of a
// different rotation.
void BM_CubeDraw(benchmark::State& state) {
  VectorCube cube;
  cube.init(60);
  cube.nearScale = 0.1f;
  cube.farScale = 1.5f;
  cube.colour = 0xFFFFFF;
  cube.intensity = 20;
  Frame f;
  int turn = 0;
  for (int i = 0; i < 60; ++i, turn += 3) {
    cube.setRotation(turn, turn, 0);
    cube.draw(f.image);
  }
  for (auto _ : state) {
    cube.setRotation(turn, turn, 0);
    turn += 3;
    cube.draw(f.image);
    benchmark::DoNotOptimize(f.words.data());
    state.PauseTiming();
    f.clear();
    state.ResumeTiming();
  }
  cube.destroy();
}
BENCHMARK(BM_CubeDraw);

// 200 visible blobs on the scene's spiral of radius 75, tilted and twisted.
void BM_BlobRender(benchmark::State& state) {
  PictureFolder pictures;
  BlobField blobs;
  blobs.init(200, test::loadPicture("gfx/blob_1.tga"));
  layoutBlobSpiral(blobs, 75);
  for (int i = 0; i < 200; ++i) blobs.setParticleColour(i, i < 100 ? 0xFF0000 : 0x0000FF);
  blobs.setRotation(40, 0, 100);
  Frame f;
  int drawn = 0;
  blobs.render(f.image);
  for (int i = 0; i < 200; ++i) drawn += blobs.particles[i].screenX >= 0 && blobs.particles[i].screenX < 304;
  for (auto _ : state) {
    blobs.render(f.image);
    benchmark::DoNotOptimize(f.words.data());
    state.PauseTiming();
    f.clear();
    state.ResumeTiming();
  }
  state.counters["onScreen"] = drawn;
  blobs.destroy();
}
BENCHMARK(BM_BlobRender);

// All 200 rows, swinging as in the scene.
void BM_RibbonRender(benchmark::State& state) {
  PictureFolder pictures;
  auto ribbons = std::make_unique<RibbonField>();
  ribbons->init(test::loadPicture("gfx/specular_lightmap.tga").get());
  ribbons->setTexture(test::loadPicture("gfx/voxel_texture.tga"));
  for (int l = 0; l < RibbonField::rows; ++l)
    ribbons->rowAngle[l] = static_cast<float>(std::sin((l + 40) % 256 * angleStep) * 0.8 * 128);
  ribbons->textureRowOffset = 33;
  Frame f;
  for (auto _ : state) {
    ribbons->render(f.image);
    benchmark::DoNotOptimize(f.words.data());
  }
  ribbons->destroy();
}
BENCHMARK(BM_RibbonRender);

// A started show in the picture folder, brought to a scene's first normal
// frame; its scene timer started at sceneStart.
struct SceneShow {
  explicit SceneShow(int scene) {
    harness.frameAt(0);
    sceneStart = scenes[scene - 1].start;
    harness.frameAt(sceneStart);
    harness.frameAt(++sceneStart);
  }
  void sceneFrame(uint32_t ms) { harness.frameAt(sceneStart + ms); }
  test::ShowHarness harness;
  uint32_t sceneStart = 0;
};

// Scene 3 at 6 s: a full trail of 60 states and the first credit.
void BM_SceneCubeFrame(benchmark::State& state) {
  PictureFolder pictures;
  SceneShow s(3);
  for (uint32_t i = 0; i < 60; ++i) s.sceneFrame(6000 - 60 + i);
  for (auto _ : state) s.sceneFrame(6000);
}
BENCHMARK(BM_SceneCubeFrame);

// Scene 4 at step v: 1500 is the whole column with all 200 blobs, copied;
// 2500 is the blobs through the light rays.
void BM_SceneRibbonsFrame(benchmark::State& state) {
  PictureFolder pictures;
  SceneShow s(4);
  const uint32_t ms = static_cast<uint32_t>(state.range(0) * 3452 / 200);
  s.sceneFrame(ms);
  for (auto _ : state) s.sceneFrame(ms);
}
BENCHMARK(BM_SceneRibbonsFrame)->Arg(1500)->Arg(2500);

}  // namespace
}  // namespace vorlith
