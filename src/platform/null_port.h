#pragma once
// The null port: the show with no window and no sound device, on the virtual
// clock. Like the null video driver of the classic software renderers it is a
// real backend, not a test hack: captures, --bench and the tests run the very
// frame loop the window runs, and only where the frames go differs.
#include <cstdint>
#include <functional>

#include "base/asset_source.h"
#include "base/notice.h"
#include "driver/display.h"
#include "driver/seek.h"
#include "platform/asset_files.h"

namespace vorlith {

// Called with each presented frame and its index from 0; returns false to end
// the run after that frame.
using FrameSink = std::function<bool(uint64_t frame, const uint32_t* pixels)>;

// An off-screen display: every presented frame goes to a sink. Its only key
// is the Escape it queues when the sink asks the run to end.
struct NullDisplay {
  FrameSink sink;
  uint64_t presented = 0;
  bool stopRequested = false;
  Display display();
};

// What a run of the null port covers.
struct NullRun {
  uint32_t fps = 30;        // frame k reads the counter at k * 1e6 / fps
  ShowSeconds start;        // begin at frame round(start * fps) of the show, exactly as it is there
  uint64_t frameLimit = 0;  // present at most this many frames (0: to the end of the show)
  bool withMusic = true;    // load and check the module (its notices), playing nothing
  AssetSource assets;       // where the show's files come from
  NoticeSink notices = stderrNotices;
  std::function<void()> started;  // called when start-up is complete
};

// Runs the show on the virtual clock, handing each presented frame to sink
// (numbered from 0 at the first presented frame). Returns the show's exit
// status; a start-up that failed for want of memory says so on stderr.
int runNull(const NullRun& run, const FrameSink& sink);

}  // namespace vorlith
