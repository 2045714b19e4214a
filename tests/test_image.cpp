// Pictures: the record, the TGA loader's messages, the row flip, short and refused files.
#include <gtest/gtest.h>

#include <cstring>

#include "image/image.h"
#include "support.h"

namespace vorlith {
namespace {

using test::NoticeRecorder;
using test::tgaBytes;

// Decodes a file's bytes, the notices to the recorder.
Image* decode(const std::vector<uint8_t>& bytes, const char* name, NoticeRecorder& recorder) {
  return decodeTga(bytes.data(), bytes.size(), name, recorder.sink());
}

TEST(Image, CreateGivesZeroedFrameAndWrapCopiesNothing) {
  Image* image = imageCreate(320, 200, 32);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->bytesPerLine, 1280);
  for (int i = 0; i < 256000; ++i) ASSERT_EQ(image->pixels[i], 0) << i;
  imageFree(image);

  uint8_t buffer[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  Image* wrapped = imageWrap(2, 1, 32, buffer);
  EXPECT_EQ(wrapped->pixels, buffer);
  EXPECT_EQ(wrapped->bytesPerLine, 8);
  imageReleaseHeader(wrapped);
  EXPECT_EQ(buffer[7], 8);
  imageFree(nullptr);
}

TEST(Image, BytesPerLineFollowsDepth) {
  EXPECT_EQ(imageBytesPerLine(10, 32), 40);
  EXPECT_EQ(imageBytesPerLine(10, 24), 30);
  EXPECT_EQ(imageBytesPerLine(10, 16), 20);
  EXPECT_EQ(imageBytesPerLine(10, 15), 20);
  EXPECT_EQ(imageBytesPerLine(10, 8), 10);
}

TEST(ImageLoad, FlipsRowsAndKeepsFileBytes) {
  // Three stored rows (bottom first) of two pixels; distinct channels and alpha.
  NoticeRecorder recorder;
  Image* image = decode(tgaBytes(2, 3, 32, {0x11000001, 0x11000001, 0x22000002, 0x22000002, 0x33000003, 0x33000003}),
                        "a.tga", recorder);
  ASSERT_NE(image, nullptr);
  EXPECT_TRUE(recorder.notices.empty());
  EXPECT_EQ(image->width, 2);
  EXPECT_EQ(image->height, 3);
  EXPECT_EQ(image->bitsPerPixel, 32);
  EXPECT_EQ(image->bytesPerLine, 8);
  const uint32_t* words = imageWords(*image);
  EXPECT_EQ(words[0], 0x33000003u);
  EXPECT_EQ(words[2], 0x22000002u);
  EXPECT_EQ(words[5], 0x11000001u);
  imageFree(image);

  image = decode(tgaBytes(3, 1, 32, {0x00FF0000, 0x0000FF00, 0x000000FF}), "b.tga", recorder);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(imageWords(*image)[0], 0x00FF0000u);
  EXPECT_EQ(imageWords(*image)[2], 0x000000FFu);
  imageFree(image);
}

TEST(ImageLoad, ShortPixelDataLoadsSilentlyWithZeroes) {
  auto bytes = tgaBytes(2, 2, 32, {0x01020304, 0x05060708, 0x090A0B0C, 0x0D0E0F10});
  bytes.resize(18 + 6);  // one and a half pixels of the bottom row
  NoticeRecorder recorder;
  Image* image = decode(bytes, "short.tga", recorder);
  ASSERT_NE(image, nullptr);
  EXPECT_TRUE(recorder.notices.empty());
  const uint32_t* words = imageWords(*image);
  EXPECT_EQ(words[2], 0x01020304u);  // the bottom row, now row 1
  EXPECT_EQ(words[3], 0x00000708u);
  EXPECT_EQ(words[0], 0u);
  EXPECT_EQ(words[1], 0u);
  imageFree(image);
}

struct FailureCase {
  const char* name;
  std::vector<uint8_t> bytes;
  const char* format;  // the expected text, %s standing for the name
};

TEST(ImageLoad, EveryFailureGivesOneNoticeAndNoImage) {
  const auto good = tgaBytes(1, 1, 32, {0x00ABCDEF});
  const char* refused =
      "Can't use file (%s): not an uncompressed 32-bit true-colour TGA without ID field or colour map";
  std::vector<FailureCase> cases = {
      {"tiny.tga", {0, 0, 2, 0, 0}, "Cant's load header (%s)"},
      {"empty.tga", {}, "Cant's load header (%s)"},
      {"cut-header.tga", std::vector<uint8_t>(good.begin(), good.begin() + 15), "Cant's load header (%s)"},
      {"no-pixels.tga", std::vector<uint8_t>(good.begin(), good.begin() + 18), "Cant's load file (%s)"},
      {"zero-width.tga", tgaBytes(0, 5, 32, {1, 2, 3}), "Cant's load file (%s)"},
      {"depth24.tga", tgaBytes(1, 1, 24, {0x00ABCDEF}), refused},
      {"depth16.tga", tgaBytes(1, 1, 16, {0x00ABCDEF}), refused},
      {"depth8.tga", tgaBytes(1, 1, 8, {0x00ABCDEF}), refused},
      {"rle.tga", tgaBytes(1, 1, 32, {0x00ABCDEF}, 10), refused},
      {"mapped.tga", tgaBytes(1, 1, 32, {0x00ABCDEF}, 1, 0, 1), refused},
      {"with-id.tga", tgaBytes(1, 1, 32, {0x00ABCDEF}, 2, 4), refused},
      {"absurd.tga", tgaBytes(65535, 65535, 32, {1, 2}), "Can't use file (%s): 65535x65535 pixels is larger than "
                                                          "4096x4096"},
  };
  for (const auto& c : cases) {
    NoticeRecorder recorder;
    EXPECT_EQ(decode(c.bytes, c.name, recorder), nullptr) << c.name;
    ASSERT_EQ(recorder.notices.size(), 1u) << c.name;
    std::string expected = c.format;
    expected.replace(expected.find("%s"), 2, c.name);
    EXPECT_EQ(recorder.notices[0].text, expected) << c.name;
    EXPECT_EQ(recorder.notices[0].caption, "DUMP imageLoad()");
  }
}

TEST(ImageLoad, FilesTheSourceCouldNotGiveAndNullName) {
  NoticeRecorder recorder;
  const AssetFile good{AssetStatus::ok, tgaBytes(1, 1, 32, {0x00ABCDEF})};
  EXPECT_EQ(imageLoad({AssetStatus::missing, {}}, "gfx/no-such-picture.tga", recorder.sink()), nullptr);
  EXPECT_EQ(imageLoad({AssetStatus::unreadable, {}}, "gfx/locked.tga", recorder.sink()), nullptr);
  EXPECT_EQ(imageLoad({AssetStatus::tooLarge, {}}, "gfx/vast.tga", recorder.sink()), nullptr);
  EXPECT_EQ(imageLoad(good, nullptr, recorder.sink()), nullptr);
  OwnedImage loaded(imageLoad(good, "gfx/good.tga", recorder.sink()));
  ASSERT_EQ(recorder.notices.size(), 4u);
  EXPECT_EQ(recorder.notices[0].text, "Can't open file -> gfx/no-such-picture.tga");
  EXPECT_EQ(recorder.notices[1].text, "Can't open file -> gfx/locked.tga");
  EXPECT_EQ(recorder.notices[2].text, "Can't use file (gfx/vast.tga): larger than 134217728 bytes");
  EXPECT_EQ(recorder.notices[3].text, "Opening a TGA with NULL filename");
  ASSERT_TRUE(loaded);
  EXPECT_EQ(imageWords(*loaded)[0], 0x00ABCDEFu);
}

TEST(ImageLoad, MessageOfAnyPathLengthIsBounded) {
  const std::string path = "missing/" + std::string(9000, 'x') + ".tga";
  NoticeRecorder recorder;
  EXPECT_EQ(imageLoad({}, path.c_str(), recorder.sink()), nullptr);
  ASSERT_EQ(recorder.notices.size(), 1u);
  EXPECT_EQ(recorder.notices[0].text.size(), 4999u);
  EXPECT_EQ(recorder.notices[0].text.rfind("Can't open file -> missing/xxx", 0), 0u);
}

}  // namespace
}  // namespace vorlith
