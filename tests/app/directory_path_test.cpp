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

TEST_F(DirectoryPath, CreatesWhatIsMissingAndStopsWhereItCannot) {
  ASSERT_EQ(create("made"), 1);
  std::ofstream(root_ / "made" / "file") << "x";
  using Paths = std::vector<std::string>;
  // Doubled and trailing separators of both kinds are skipped; "." and ".." are followed.
  for (const std::string& path :
       Paths{"out/imgs/", "out/imgs/", "a//b\\\\c\\", "./a/../d/./e", "//",
             (root_ / "abs" / "deep").string(), "\\" + (root_ / "bs").string().substr(1)})
    EXPECT_EQ(create(path), 1) << path;
  // Too short, drive letters (none here), a text that ends at a NUL, a file in the way;
  // what was made before the file remains.
  for (const std::string& path :
       Paths{"", "x", "/", "D:", "D:\\out\\imgs", std::string("q\0rest", 6), "made/file/below",
             "made/file", "other/x/../../made/file/y"})
    EXPECT_EQ(create(path), 0) << path;

  Paths made;
  for (const auto& entry : fs::recursive_directory_iterator(root_))
    made.push_back(fs::relative(entry.path(), root_).string());
  std::sort(made.begin(), made.end());
  EXPECT_EQ(made, (Paths{"a", "a/b", "a/b/c", "abs", "abs/deep", "bs", "d", "d/e", "made",
                         "made/file", "other", "other/x", "out", "out/imgs"}));
  EXPECT_TRUE(fs::is_regular_file(root_ / "made" / "file"));
}

TEST_F(DirectoryPath, NoLimitOnComponentsOrLength) {
  std::string many;
  for (int i = 0; i < 300; ++i) many += "c" + std::to_string(i % 10) + "/";
  EXPECT_EQ(create(many), 1);
  EXPECT_TRUE(fs::is_directory(many)) << "components after the 128th are made too";

  // Far longer than PATH_MAX in total, from a working directory deeper than 1023 characters.
  const std::string name(200, 'n');
  std::string deep, deeper;
  for (int i = 0; i < 8; ++i) deep += name + "/";
  for (int i = 0; i < 30; ++i) deeper += name + "/";
  ASSERT_GT(deeper.size(), static_cast<std::size_t>(PATH_MAX));
  ASSERT_EQ(create(deep), 1);
  ASSERT_EQ(chdir(deep.c_str()), 0);
  EXPECT_EQ(create(deeper), 1);
  for (int i = 0; i < 30; ++i) ASSERT_EQ(chdir(name.c_str()), 0) << i;
  ASSERT_EQ(chdir(root_.c_str()), 0);
  EXPECT_EQ(create(std::string(300, 'z') + "/x"), 0) << "a name the file system refuses";
}
