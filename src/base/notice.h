#pragma once
// The show reports a failure in exactly two places (the picture loader and the
// music player), both as a modal notice with a caption and a text. They go
// through notice(); what shows it is installed by whoever runs the show: the
// window program shows a message box, headless runs print to stderr, and the
// tests record what was said.

namespace vorlith {

using NoticeFunction = void (*)(void* context, const char* caption, const char* text);

// Shows one notice and returns when it has been dismissed.
void notice(const char* caption, const char* text);

// Installs the function that shows notices; a null function restores the
// default, which prints "caption: text" on stderr.
void setNoticeHandler(NoticeFunction function, void* context);

// The default handler: "caption: text" and a newline on stderr.
void noticeToStderr(void* context, const char* caption, const char* text);

}  // namespace vorlith
