// The run's files: a folder made and proven before the work, files that
// appear whole or not at all, and nothing of a failed run left behind.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "qplace/output_files.h"
#include "reader_util.h"

namespace {

using qplace::OutputFiles;

// A fresh folder of this test's own.
std::string freshDir(const std::string& name) {
  const std::string dir = testing::TempDir() + "qplace_files_" + name + "_" + std::to_string(::getpid());
  std::system(("rm -rf '" + dir + "'").c_str());
  return dir;
}

std::set<std::string> listing(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.insert(e->d_name);
    ::closedir(d);
  }
  return names;
}

void put(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

bool isDir(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(OutputFiles, FolderIsMadeWithItsParentsAndProvenWritable) {
  const std::string base = freshDir("prepare");
  std::string error;
  std::vector<std::string> made;
  ASSERT_TRUE(qplace::prepareFolder(base + "/a/b/c", error, &made)) << error;
  EXPECT_TRUE(isDir(base + "/a/b/c"));
  EXPECT_TRUE(listing(base + "/a/b/c").empty());  // the probe is gone
  // (base itself is new too)
  EXPECT_EQ(made, (std::vector<std::string>{base, base + "/a", base + "/a/b", base + "/a/b/c"}));
  ASSERT_TRUE(qplace::prepareFolder(base + "/a/b/c/", error, &made)) << error;  // again, and with a trailing slash
  EXPECT_EQ(made.size(), 4u) << "nothing made the second time";

  // What a run made goes when empty; a folder that holds anything stays,
  // and so do its parents.
  put(base + "/a/b/kept", "x");
  qplace::removeEmptyFolders(made);
  EXPECT_FALSE(isDir(base + "/a/b/c"));
  EXPECT_TRUE(isDir(base + "/a/b"));
  std::remove((base + "/a/b/kept").c_str());
  qplace::removeEmptyFolders(made);
  EXPECT_FALSE(isDir(base));
  ASSERT_TRUE(qplace::prepareFolder(base, error)) << error;

  // A regular file on the way stops it, whoever runs the test (root too).
  put(base + "/file", "x");
  EXPECT_FALSE(qplace::prepareFolder(base + "/file/sub/dir", error));
  EXPECT_EQ(error, base + "/file/sub/dir: cannot create the folder " + base + "/file: Not a directory");
  EXPECT_FALSE(qplace::prepareFolder(base + "/file", error));
  EXPECT_EQ(error, base + "/file: cannot create the folder: Not a directory");
  EXPECT_FALSE(isDir(base + "/file/sub"));

  // Files of the root folder (--write-json /x) are named with one slash.
  EXPECT_EQ(qplace::OutputFiles("/").path("x.json"), "/x.json");
  EXPECT_EQ(qplace::OutputFiles("out/").path("x.json"), "out/x.json");
}

TEST(OutputFiles, CommitReplacesTheEarlierFilesAndLeavesNoTemporary) {
  const std::string dir = freshDir("commit");
  std::string error;
  ASSERT_TRUE(qplace::prepareFolder(dir, error)) << error;
  put(dir + "/a.txt", "earlier a");
  put(dir + "/keep.txt", "not ours");
  {
    OutputFiles out(dir);
    ASSERT_TRUE(out.write("a.txt", "new a", error)) << error;
    ASSERT_TRUE(out.write("b.txt", "first b", error)) << error;
    ASSERT_TRUE(out.write("b.txt", "new b", error)) << error;  // written again: the last text counts
    // Until the commit, the folder shows the earlier files as they were.
    EXPECT_EQ(fileText(dir + "/a.txt"), "earlier a");
    EXPECT_EQ(listing(dir).count("b.txt"), 0u);
    EXPECT_EQ(fileText(out.temporary("b.txt")), "new b");
    ASSERT_TRUE(out.commit(error)) << error;
    EXPECT_EQ(out.temporary("a.txt"), "");
  }
  EXPECT_EQ(listing(dir), (std::set<std::string>{"a.txt", "b.txt", "keep.txt"}));
  EXPECT_EQ(OutputFiles(dir + "//").path("a.txt"), dir + "/a.txt");
  EXPECT_EQ(fileText(dir + "/a.txt"), "new a");
  EXPECT_EQ(fileText(dir + "/b.txt"), "new b");
}

// Another run that made the folder and failed takes it away empty: a run
// that shares it makes it again for its files.
TEST(OutputFiles, AFolderTakenAwayEmptyIsMadeAgain) {
  const std::string base = freshDir("vanished");
  const std::string dir = base + "/a/b";
  std::string error;
  std::vector<std::string> made;
  ASSERT_TRUE(qplace::prepareFolder(dir, error, &made)) << error;
  OutputFiles out(dir);
  qplace::removeEmptyFolders(made);
  ASSERT_FALSE(isDir(base));
  ASSERT_TRUE(out.write("a.txt", "a", error)) << error;
  ASSERT_TRUE(out.commit(error)) << error;
  EXPECT_EQ(fileText(dir + "/a.txt"), "a");
}

TEST(OutputFiles, AFailedRunLeavesTheFolderAsItWas) {
  const std::string dir = freshDir("failed");
  std::string error;
  ASSERT_TRUE(qplace::prepareFolder(dir, error)) << error;
  put(dir + "/a.txt", "earlier a");
  const std::set<std::string> before = listing(dir);

  // Given up without a commit (an error elsewhere, an exception).
  {
    OutputFiles out(dir);
    ASSERT_TRUE(out.write("a.txt", "new a", error)) << error;
    ASSERT_TRUE(out.write("b.txt", "new b", error)) << error;
  }
  EXPECT_EQ(listing(dir), before);
  EXPECT_EQ(fileText(dir + "/a.txt"), "earlier a");

  // A write that fails part way: a file size limit makes it fail even for
  // root, with EFBIG once the signal it raises is ignored.
  {
    OutputFiles out(dir);
    ASSERT_TRUE(out.write("a.txt", "new a", error)) << error;
    rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 1000;
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = out.write("b.txt", std::string(5000, 'b'), error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(error, dir + "/b.txt: cannot write: File too large");
    EXPECT_EQ(out.temporary("b.txt"), "");
  }
  EXPECT_EQ(listing(dir), before);
  EXPECT_EQ(fileText(dir + "/a.txt"), "earlier a");

  // A final name taken by a folder: refused before anything is renamed.
  ::mkdir((dir + "/c.txt").c_str(), 0777);
  put(dir + "/c.txt/inside", "x");
  {
    OutputFiles out(dir);
    ASSERT_TRUE(out.write("a.txt", "new a", error)) << error;
    ASSERT_TRUE(out.write("c.txt", "new c", error)) << error;
    EXPECT_FALSE(out.commit(error));
    EXPECT_EQ(error, dir + "/c.txt: cannot put in place: Is a directory");
  }
  EXPECT_EQ(listing(dir), (std::set<std::string>{"a.txt", "c.txt"}));
  EXPECT_EQ(fileText(dir + "/a.txt"), "earlier a");
}

TEST(OutputFiles, FilesOfAnotherProgramAreAdoptedOnlyWhenFilled) {
  const std::string dir = freshDir("adopt");
  std::string error;
  ASSERT_TRUE(qplace::prepareFolder(dir, error)) << error;
  put(dir + "/p.png", "earlier p");
  OutputFiles out(dir);
  const std::string temp = out.reserve("p.png", error);
  ASSERT_NE(temp, "") << error;
  EXPECT_EQ(temp.rfind(dir + "/.p.png.", 0), 0u) << temp;
  EXPECT_FALSE(out.adopt("p.png", error));  // left empty
  EXPECT_EQ(error, dir + "/p.png: was left empty");
  EXPECT_EQ(listing(dir), (std::set<std::string>{"p.png"}));

  // A report of nothing may be empty when its caller says so.
  ASSERT_NE(out.reserve("e.txt", error), "") << error;
  ASSERT_TRUE(out.adopt("e.txt", error, true)) << error;
  out.drop("e.txt");

  put(out.reserve("p.png", error), "new p");
  ASSERT_TRUE(out.adopt("p.png", error)) << error;
  const std::string q = out.reserve("q.png", error);
  put(q, "q");
  out.drop("q.png");  // given up: not committed, temporary gone
  ASSERT_TRUE(out.commit(error)) << error;
  EXPECT_EQ(listing(dir), (std::set<std::string>{"p.png"}));
  EXPECT_EQ(fileText(dir + "/p.png"), "new p");
}

// An interrupt during the writing removes the temporaries before the
// program dies of the signal.
TEST(OutputFiles, AnInterruptRemovesTheTemporaries) {
  const std::string dir = freshDir("signal");
  std::string error;
  ASSERT_TRUE(qplace::prepareFolder(dir, error)) << error;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    qplace::removeTemporariesOnSignal();
    OutputFiles out(dir);
    std::string e;
    if (!out.write("a.txt", "a", e) || listing(dir).size() != 1) ::_exit(3);
    std::raise(SIGTERM);
    ::_exit(4);  // not reached
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  EXPECT_TRUE(listing(dir).empty());
}

TEST(OutputFiles, CaptureReturnsWhatACallWroteToItsOwnFile) {
  std::string content, error;
  ASSERT_TRUE(qplace::captureFile(
      [](const std::string& path) {
        FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("first\n", f);
        std::fclose(f);
        f = std::fopen(path.c_str(), "w");  // opened again: replaced, as a file would be
        std::fputs(std::string(100000, 'x').c_str(), f);
        std::fclose(f);
      },
      content, error))
      << error;
  EXPECT_EQ(content, std::string(100000, 'x'));
  ASSERT_TRUE(qplace::captureFile([](const std::string&) {}, content, error)) << error;
  EXPECT_EQ(content, "");
}

}  // namespace
