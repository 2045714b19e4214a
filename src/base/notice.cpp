#include "base/notice.h"

#include <cstdio>

namespace vorlith {

namespace {
NoticeFunction handler = noticeToStderr;
void* handlerContext = nullptr;
}  // namespace

void noticeToStderr(void*, const char* caption, const char* text) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
}

void notice(const char* caption, const char* text) { handler(handlerContext, caption, text); }

void setNoticeHandler(NoticeFunction function, void* context) {
  handler = function ? function : noticeToStderr;
  handlerContext = function ? context : nullptr;
}

}  // namespace vorlith
