// Choosing a kernel's form: which forms a processor keeps, the plain form
// always among them, the plain switch, and the whole show drawing the same
// frames with the widest forms as with the plain ones.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/kernel_dispatch.h"
#include "image/frame_digest.h"
#include "image/image.h"
#include "support.h"

namespace vorlith {
namespace {

struct Named {
  const char* name;
};

bool yes() { return true; }
bool no() { return false; }

std::vector<std::string> names(const KernelForms<Named>& forms) {
  std::vector<std::string> out;
  for (const Named& form : forms.all()) out.push_back(form.name);
  return out;
}

// Sets the plain switch for the scope and restores it after, failures included.
struct PlainKernels {
  explicit PlainKernels(bool on) { forcePlainKernels(on); }
  ~PlainKernels() { forcePlainKernels(false); }
};

TEST(KernelForms, KeepsTheSupportedFormsInOrderAndThePlainOneAlways) {
  const KernelCandidate<Named> candidates[] = {
      {{"widest"}, no}, {{"wide"}, yes}, {{"narrow"}, nullptr}, {{"plain"}, no}};
  const KernelForms<Named> forms(candidates);
  EXPECT_EQ(names(forms), (std::vector<std::string>{"wide", "narrow", "plain"}));
  EXPECT_STREQ(forms.active().name, "wide");
  EXPECT_STREQ(forms.plain().name, "plain");
  {
    PlainKernels plain(true);
    EXPECT_STREQ(forms.active().name, "plain");
  }
  EXPECT_STREQ(forms.active().name, "wide");

  // Where no wider form runs (or none is built, as off x86), the plain one serves.
  const KernelCandidate<Named> unsupported[] = {{{"wide"}, no}, {{"plain"}}};
  EXPECT_EQ(names(KernelForms<Named>(unsupported)), std::vector<std::string>{"plain"});
  const KernelCandidate<Named> plainOnly[] = {{{"plain"}}};
  const KernelForms<Named> onlyPlain(plainOnly);
  EXPECT_STREQ(onlyPlain.active().name, "plain");
  EXPECT_EQ(onlyPlain.all().size(), 1u);
}

// Every word of a frame, the fourth bytes too (the frame digest leaves them out).
uint64_t wholeFrameHash(const uint32_t* pixels) {
  uint64_t hash = fnvOffsetBasis;
  for (int i = 0; i < framePixels; ++i) hash = (hash ^ pixels[i]) * fnvPrime;
  return hash;
}

std::vector<uint64_t> showFrames(bool plain) {
  PlainKernels forced(plain);
  std::vector<uint64_t> frames;
  test::runVirtualShow(5, [&](uint64_t, const uint32_t* pixels) { frames.push_back(wholeFrameHash(pixels)); });
  return frames;
}

// Every kernel in the show's own use (overlapping images, fans from every
// centre the show's sweeps pass, spans clipped at the frame's edges): the
// widest forms draw what the plain ones draw, frame by frame.
TEST(KernelForms, TheWholeShowDrawsTheSameFramesWithThePlainKernels) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(test::defaultAssets());
  const std::vector<uint64_t> widest = showFrames(false);
  const std::vector<uint64_t> plain = showFrames(true);
  std::filesystem::current_path(before);
  ASSERT_GT(widest.size(), 900u);
  ASSERT_EQ(widest.size(), plain.size());
  for (size_t k = 0; k < widest.size(); ++k) ASSERT_EQ(widest[k], plain[k]) << "frame " << k;
}

}  // namespace
}  // namespace vorlith
