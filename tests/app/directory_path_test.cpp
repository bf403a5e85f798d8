#include "app/directory_path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

#include "scratch.h"

using namespace slidetrack;

namespace {

// Each test works inside a fresh directory that is also the working directory.
class DirectoryPath : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(root_.empty());
    fs::current_path(root_);
  }
  void TearDown() override { fs::current_path(previous_); }
  // Runs the call and checks that the working directory stayed where it was.
  int create(const std::string& path) {
    const fs::path before = fs::current_path();
    const int result = directoryPathCreate(path);
    EXPECT_EQ(fs::current_path(), before) << path;
    return result;
  }

  ScratchDir dir_;
  const fs::path root_ = dir_.path, previous_ = fs::current_path();
};

}  // namespace

TEST_F(DirectoryPath, CreatesWhatIsMissingWithoutLimitsAndStopsWhereItCannot) {
  ASSERT_EQ(create("made"), 1);
  std::ofstream(root_ / "made" / "file") << "x";
  using Paths = std::vector<std::string>;
  // Doubled and trailing separators of both kinds are skipped; "." and ".." are followed.
  for (const std::string& path :
       Paths{"out/imgs/", "out/imgs/", "a//b\\\\c\\", "./a/../d/./e", "//",
             (root_ / "abs" / "deep").string(), "\\" + (root_ / "bs").string().substr(1), "x", "/",
             "a:b/", "D:\\imgs", std::string("q\0rest", 6)})
    EXPECT_EQ(create(path), 1) << path;
  // Nothing, a file in the way; what was made before the file remains.
  for (const std::string& path :
       Paths{"", "made/file/below", "made/file", "other/x/../../made/file/y"}) {
    errno = 0;
    EXPECT_EQ(create(path), 0) << path;
    EXPECT_TRUE(path.empty() || errno == ENOTDIR) << path << ": " << errno;
  }

  Paths made;
  for (const auto& entry : fs::recursive_directory_iterator(root_))
    made.push_back(fs::relative(entry.path(), root_).string());
  std::sort(made.begin(), made.end());
  // A colon is an ordinary character: no drive letters here.
  EXPECT_EQ(made,
            (Paths{"D:", "D:/imgs", "a", "a/b", "a/b/c", "a:b", "abs", "abs/deep", "bs", "d", "d/e",
                   "made", "made/file", "other", "other/x", "out", "out/imgs", "q", "x"}));
  EXPECT_TRUE(fs::is_regular_file(root_ / "made" / "file"));

  // Components after the 128th, and paths far longer than PATH_MAX in total.
  const std::string name(200, 'n');
  std::string many, deep;
  for (int i = 0; i < 300; ++i) many += "c" + std::to_string(i % 10) + "/";
  for (int i = 0; i < 30; ++i) deep += name + "/";
  ASSERT_GT(deep.size(), static_cast<std::size_t>(PATH_MAX));
  EXPECT_EQ(create(many), 1);
  EXPECT_TRUE(fs::is_directory(many));
  EXPECT_EQ(create(deep), 1);
  for (int i = 0; i < 30; ++i) ASSERT_EQ(chdir(name.c_str()), 0) << i;
  ASSERT_EQ(chdir(root_.c_str()), 0);
  EXPECT_EQ(create(std::string(300, 'z') + "/x"), 0) << "a name the file system refuses";
}
