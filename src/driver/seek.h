#pragma once
// Where a run begins and ends, in frames. A run at F frames per second that
// begins S seconds into the show begins at frame round(S * F) of a whole run,
// and shows from there exactly what the whole run shows: the frames before
// it are played off-screen first (see ShowSetup::start).
#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorlith {

// A moment of the show in seconds, held exactly as it was written in
// decimal. No binary fraction stands in between, so the frame it falls on is
// exact at every frame rate: 10.3 s at 30 fps is frame 309, and 0.0166 s is
// frame 0 (0.498), not frame 1.
class ShowSeconds {
 public:
  ShowSeconds() = default;
  static ShowSeconds fromMilliseconds(uint32_t ms);

  // Decimal seconds: digits with at most one point ("12", "12.5", ".5",
  // "12."). False for anything else, or for a million seconds or more.
  static bool parse(std::string_view text, ShowSeconds& out);

  // The frame a run at fps frames per second shows at this moment:
  // seconds * fps rounded to the nearest whole number, halves up.
  uint64_t frameAt(uint32_t fps) const;

  bool isZero() const { return whole_ == 0 && fraction_.empty(); }
  // "12.5", "0", "182.956"
  std::string text() const;

  // Earlier, the same or later moment than the other.
  std::strong_ordering operator<=>(const ShowSeconds& other) const;
  bool operator==(const ShowSeconds& other) const = default;

 private:
  uint32_t whole_ = 0;
  std::string fraction_;  // the digits after the point, without trailing zeros
};

// The length of the show as a moment: 182.956 s.
ShowSeconds showEnd();

// A start as the program's --start and the page's ?start read it: decimal
// seconds (see ShowSeconds::parse) from 0 to the end of the show. False for
// anything else.
bool parseStart(std::string_view text, ShowSeconds& out);

// The index of the last frame of a whole run at fps frames per second: the
// first one whose show time has reached the end of the show (it is black,
// and presented like every other).
uint64_t finalFrame(uint32_t fps);

// The frame a run at fps that begins at `start` begins with: round(start *
// fps), never past the final frame.
uint64_t startFrame(const ShowSeconds& start, uint32_t fps);

}  // namespace vorlith
