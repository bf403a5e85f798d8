#include "directory_path.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Each test works inside a fresh directory that is also the working directory.
class DirectoryPath : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "slidetrack-dirs-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    previous_ = fs::current_path();
    fs::current_path(root_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  // Runs the call and checks that the working directory stayed where it was.
  int create(const std::string& path) {
    fs::path before = fs::current_path();
    int result = directoryPathCreate(path);
    EXPECT_EQ(fs::current_path(), before) << path;
    return result;
  }
  bool isDir(const std::string& path) const { return fs::is_directory(root_ / path); }
  std::size_t entryCount() const {
    return std::distance(fs::directory_iterator(root_), fs::directory_iterator());
  }

  fs::path root_;
  fs::path previous_;
};

}  // namespace

TEST_F(DirectoryPath, CreatesEveryMissingRelativeComponent) {
  EXPECT_EQ(create("out/imgs/"), 1);
  EXPECT_TRUE(isDir("out/imgs"));
  EXPECT_EQ(create("out/imgs/"), 1) << "an existing path is fine";
  EXPECT_EQ(create("a//b\\\\c\\"), 1);
  EXPECT_TRUE(isDir("a/b/c"));
  EXPECT_FALSE(fs::exists(root_ / "a" / "b\\\\c"));
  EXPECT_EQ(create("./a/../d/./e"), 1);
  EXPECT_TRUE(isDir("d/e"));
  EXPECT_FALSE(fs::exists(root_ / "a" / "d")) << "'..' was followed, not created";
}

TEST_F(DirectoryPath, RootedPathsStartAtTheFileSystemRoot) {
  std::string absolute = (root_ / "abs" / "deep").string();
  EXPECT_EQ(create(absolute), 1);
  EXPECT_TRUE(isDir("abs/deep"));
  std::string backslashed = "\\" + (root_ / "bs").string().substr(1);
  EXPECT_EQ(create(backslashed), 1);
  EXPECT_TRUE(isDir("bs"));
  EXPECT_EQ(create("//"), 1);
}

TEST_F(DirectoryPath, ShortAndDrivePathsCreateNothing) {
  EXPECT_EQ(create(""), 0);
  EXPECT_EQ(create("x"), 0);
  EXPECT_EQ(create("/"), 0);
  EXPECT_EQ(create("D:"), 0);
  EXPECT_EQ(create("D:\\out\\imgs"), 0);
  EXPECT_EQ(create(std::string("q\0rest", 6)), 0) << "the text ends at a NUL";
  EXPECT_EQ(entryCount(), 0u);
}

TEST_F(DirectoryPath, AFileInTheWayFailsAndKeepsWhatWasMade) {
  ASSERT_EQ(create("made"), 1);
  std::ofstream(root_ / "made" / "file") << "x";
  EXPECT_EQ(create("made/file/below"), 0);
  EXPECT_EQ(create("made/file"), 0);
  EXPECT_EQ(create("other/x/../../made/file/y"), 0);
  EXPECT_TRUE(isDir("other/x"));
  EXPECT_TRUE(fs::is_regular_file(root_ / "made" / "file"));
}

TEST_F(DirectoryPath, NoLimitOnComponentsOrLength) {
  std::string many;
  for (int i = 0; i < 300; ++i) many += "c" + std::to_string(i % 10) + "/";
  EXPECT_EQ(create(many), 1);
  EXPECT_TRUE(isDir(many)) << "components after the 128th are made too";

  // Far longer than PATH_MAX in total, from a working directory deeper than 1023 characters.
  std::string longName(200, 'n');
  std::string deep;
  for (int i = 0; i < 8; ++i) deep += longName + "/";
  ASSERT_EQ(create(deep), 1);
  ASSERT_EQ(chdir(deep.c_str()), 0);
  std::string deeper;
  for (int i = 0; i < 30; ++i) deeper += longName + "/";
  ASSERT_GT(deeper.size(), static_cast<std::size_t>(PATH_MAX));
  EXPECT_EQ(create(deeper), 1);
  int fd = open(".", O_PATH | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  struct stat info;
  EXPECT_EQ(fstatat(fd, (longName + "/" + longName).c_str(), &info, 0), 0);
  close(fd);
  ASSERT_EQ(chdir(root_.c_str()), 0);
  EXPECT_EQ(create(std::string(300, 'z') + "/x"), 0) << "a name the file system refuses";
}
