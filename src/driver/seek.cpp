#include "driver/seek.h"

#include <algorithm>

#include "driver/frame_timer.h"
#include "driver/schedule.h"

namespace vorlith {

ShowSeconds ShowSeconds::fromMilliseconds(uint32_t ms) {
  ShowSeconds s;
  s.whole_ = ms / 1000;
  const uint32_t rest = ms % 1000;
  if (rest) {
    s.fraction_ = {static_cast<char>('0' + rest / 100), static_cast<char>('0' + rest / 10 % 10),
                   static_cast<char>('0' + rest % 10)};
    while (s.fraction_.back() == '0') s.fraction_.pop_back();
  }
  return s;
}

bool ShowSeconds::parse(std::string_view text, ShowSeconds& out) {
  const size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  auto digitsOnly = [](std::string_view s) { return s.find_first_not_of("0123456789") == std::string_view::npos; };
  if (!digitsOnly(whole) || !digitsOnly(fraction) || whole.size() + fraction.size() == 0) return false;
  ShowSeconds s;
  for (char c : whole) {
    s.whole_ = s.whole_ * 10 + static_cast<uint32_t>(c - '0');
    if (s.whole_ >= 1000000) return false;
  }
  s.fraction_ = fraction;
  while (!s.fraction_.empty() && s.fraction_.back() == '0') s.fraction_.pop_back();
  out = std::move(s);
  return true;
}

uint64_t ShowSeconds::frameAt(uint32_t fps) const {
  // The fraction times fps, digit by digit from the last: what is carried out
  // of the first digit is the whole part of the product, and the first digit
  // of what remains decides the rounding.
  uint64_t carry = 0;
  int firstDigit = 0;
  for (size_t i = fraction_.size(); i-- > 0;) {
    const uint64_t d = static_cast<uint64_t>(fraction_[i] - '0') * fps + carry;
    firstDigit = static_cast<int>(d % 10);
    carry = d / 10;
  }
  return uint64_t{whole_} * fps + carry + (firstDigit >= 5 ? 1 : 0);
}

std::string ShowSeconds::text() const {
  std::string t = std::to_string(whole_);
  if (!fraction_.empty()) t += "." + fraction_;
  return t;
}

std::strong_ordering ShowSeconds::operator<=>(const ShowSeconds& other) const {
  if (whole_ != other.whole_) return whole_ <=> other.whole_;
  // Without trailing zeros, digit strings compare like the fractions they write.
  return fraction_.compare(other.fraction_) <=> 0;
}

ShowSeconds showEnd() { return ShowSeconds::fromMilliseconds(showLengthMs); }

bool parseStart(std::string_view text, ShowSeconds& out) {
  ShowSeconds start;
  if (!ShowSeconds::parse(text, start) || start > showEnd()) return false;
  out = std::move(start);
  return true;
}

uint64_t finalFrame(uint32_t fps) {
  // Show times grow with the frame index: the first at or past the end is
  // found by halving, starting from a bound a frame or so beyond it.
  uint64_t low = 0, high = (uint64_t{showLengthMs} + 1000) * fps / 1000 + 1;
  while (low < high) {
    const uint64_t middle = low + (high - low) / 2;
    if (virtualShowTime(fps, middle) >= showLengthMs)
      high = middle;
    else
      low = middle + 1;
  }
  return low;
}

uint64_t startFrame(const ShowSeconds& start, uint32_t fps) {
  return std::min(start.frameAt(fps), finalFrame(fps));
}

}  // namespace vorlith
