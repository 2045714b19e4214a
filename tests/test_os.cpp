// The system edge: the one PATH walk, the one way a file is written and put
// in place, UTF-8 names, and the child process that never outlives us.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "capture/atomic_file.h"
#include "platform/os.h"
#include "support.h"

namespace vorlith {
namespace {

namespace fs = std::filesystem;
using test::ScratchDirectory;

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old, had_ = true;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_)
      ::setenv(name_, previous_.c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::string previous_;
  bool had_ = false;
};

void makeProgram(const std::string& path, mode_t mode) {
  test::writeFile(path, {'#', '!', '/', 'b', 'i', 'n', '/', 's', 'h', '\n'});
  ::chmod(path.c_str(), mode);
}

TEST(Os, PathWalkFindsTheFirstExecutableFile) {
  ScratchDirectory dir;
  fs::create_directories(dir.path() / "a");
  fs::create_directories(dir.path() / "b");
  fs::create_directories(dir.path() / "c" / "tool");  // a directory of that name is not a program
  makeProgram(dir.file("a/tool"), 0644);              // not executable
  makeProgram(dir.file("b/tool"), 0755);
  const std::string path = dir.file("c") + ":" + dir.file("a") + ":" + dir.file("b");
  {
    ScopedEnv env("PATH", path);
    EXPECT_EQ(findOnPath("tool"), dir.file("b") + "/tool");
    EXPECT_EQ(findOnPath("absent"), "");
    EXPECT_EQ(findOnPath(""), "");
  }
  {
    // An empty entry is the working directory.
    ScratchDirectory here(true);
    makeProgram("./tool", 0755);
    ScopedEnv env("PATH", dir.file("a") + "::");
    EXPECT_EQ(findOnPath("tool"), "./tool");
  }
  // The program found from argv0 on PATH is the same walk.
  ScopedEnv env("PATH", path);
  EXPECT_FALSE(programPath(nullptr).empty());  // /proc/self/exe
}

TEST(Os, FilesAreWrittenAsBytesAndReplaceWhatWasThere) {
  ScratchDirectory dir;
  const std::string name = dir.file("Brim \xE2\x80\x94 \xC3\xBCn\xC3\xAF \xE6\x97\xA5\xE6\x9C\xAC.txt");
  // The name survives the trip through std::filesystem.
  EXPECT_EQ(utf8Path(pathFromUtf8(name)), name);
  EXPECT_EQ(utf8Path(pathFromUtf8(name).filename()), "Brim \xE2\x80\x94 \xC3\xBCn\xC3\xAF \xE6\x97\xA5\xE6\x9C\xAC.txt");
  std::string error;
  for (const std::string text : {"first\n", "second\r\nline\n\x1A\n"}) {
    AtomicFile file(name);
    ASSERT_TRUE(file.write(text.data(), text.size(), error)) << error;
    ASSERT_TRUE(file.commit(error)) << error;  // also over the file of the first round
    const auto bytes = test::readFile(name);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), text);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
  std::string reason;
  EXPECT_FALSE(replaceFile(dir.file("absent"), dir.file("x"), reason));
  EXPECT_EQ(reason, "No such file or directory");
  EXPECT_FALSE(writeNewFile(dir.file("no/such/dir"), "x", 1, reason));
  EXPECT_EQ(reason, "No such file or directory");
}

TEST(Os, ChildProcessHandsBackItsStatusAndMessages) {
  ChildProcess child;
  std::string error;
  ASSERT_TRUE(child.start("/bin/sh", {"-c", "cat >/dev/null; echo done >&2; exit 7"}, error)) << error;
  const std::string input(1 << 20, 'x');  // more than a pipe holds
  EXPECT_TRUE(child.write(input.data(), input.size()));
  int status = 0;
  ASSERT_TRUE(child.finish(status, error)) << error;
  EXPECT_EQ(status, 7);
  EXPECT_EQ(child.messages(), "done\n");
  // One that stops reading makes the write fail instead of the program.
  ChildProcess quitter;
  ASSERT_TRUE(quitter.start("/bin/sh", {"-c", "exit 0"}, error)) << error;
  EXPECT_FALSE(quitter.write(input.data(), input.size()));
  ASSERT_TRUE(quitter.finish(status, error)) << error;
  EXPECT_EQ(status, 0);
  // A missing program: the exec fails in the child, which says so by its status.
  ChildProcess missing;
  ASSERT_TRUE(missing.start("/nonexistent/program", {}, error)) << error;
  ASSERT_TRUE(missing.finish(status, error)) << error;
  EXPECT_EQ(status, 127);
}

}  // namespace
}  // namespace vorlith
