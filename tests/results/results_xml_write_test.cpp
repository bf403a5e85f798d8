#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include "atomic_file.h"
#include "results_xml.h"
#include "temp_dir.h"

namespace {

// A run's list: three records, the middle one matched to an original.
std::unique_ptr<SlideList> runList(const SlideList& originals) {
  auto list = slideListCreate("lecture.mp4", "originals.xml");
  list->slides.push_back(slideRecordMake(0, "out/slide_00000000.jpg", 0, 49, 0.0));
  list->slides.push_back(slideRecordMake(1, "out/slide_00000050.jpg", 50, 119, 0.4213579));
  list->slides.back().match = &originals.slides[1];
  list->slides.push_back(slideRecordMake(2, nullptr, 120, 120, 0.0));
  return list;
}

std::unique_ptr<SlideList> originalsList() {
  auto originals = slideListCreate(nullptr, nullptr);
  originals->slides.push_back(slideRecordMake(1000, "a.png", 0, 0, 0));
  originals->slides.push_back(slideRecordMake(1001, "b & <c>.png", 0, 0, 0));
  return originals;
}

}  // namespace

TEST(ResultsXmlWrite, WritesElementsAndAttributesInOrder) {
  TempDir dir;
  auto originals = originalsList();
  auto list = runList(*originals);
  ASSERT_EQ(slidesSaveToXmlNode(list.get(), dir.file("r.xml")), 1);
  EXPECT_EQ(
      readText(dir.file("r.xml")),
      "<?xml version=\"1.0\"?>\n"
      "<data>\n"
      "  <sources>\n"
      "    <video src=\"lecture.mp4\"/>\n"
      "    <originals src=\"originals.xml\"/>\n"
      "  </sources>\n"
      "  <slides>\n"
      "    <slide id=\"0\" start=\"0\" end=\"49\" confidence=\"0.000000\" "
      "src=\"out/slide_00000000.jpg\"/>\n"
      "    <slide id=\"1\" start=\"50\" end=\"119\" confidence=\"0.421358\" "
      "src=\"out/slide_00000050.jpg\" match_id=\"1001\" match_src=\"b &amp; &lt;c&gt;.png\"/>\n"
      "    <slide id=\"2\" start=\"120\" end=\"120\" confidence=\"0.000000\"/>\n"
      "  </slides>\n"
      "</data>\n");
}

TEST(ResultsXmlWrite, EmptyListHasEmptySourcesAndMatchWithoutPathHasNoMatchSrc) {
  TempDir dir;
  auto empty = slideListCreate(nullptr, nullptr);
  ASSERT_EQ(slidesSaveToXmlNode(empty.get(), dir.file("e.xml")), 1);
  EXPECT_EQ(readText(dir.file("e.xml")),
            "<?xml version=\"1.0\"?>\n<data>\n  <sources/>\n  <slides/>\n</data>\n");

  SlideRecord original = slideRecordMake(3, nullptr, 0, 0, 0);
  empty->slides.push_back(slideRecordMake(0, "", 0, 5, 1e300));
  empty->slides.back().match = &original;
  ASSERT_EQ(slidesSaveToXmlNode(empty.get(), dir.file("e.xml")), 1);
  std::string text = readText(dir.file("e.xml"));
  EXPECT_NE(text.find("src=\"\" match_id=\"3\"/>"), std::string::npos) << text;
  // "%f" of 1e300: 301 digits, the point and six decimals, in full.
  std::size_t value = text.find("confidence=\"1") + 12;
  EXPECT_EQ(text.find('"', value) - value, 308u) << text;
}

TEST(ResultsXmlWrite, NoListIsRejected) {
  TempDir dir;
  EXPECT_EQ(slidesSaveToXmlNode(nullptr, dir.file("x.xml")), -1);
  EXPECT_TRUE(dir.entries().empty());
}

TEST(ResultsXmlWrite, RewritingReplacesTheWholeFileAndLeavesNoTemporary) {
  TempDir dir;
  auto originals = originalsList();
  auto list = runList(*originals);
  ASSERT_EQ(slidesSaveToXmlNode(list.get(), dir.file("r.xml")), 1);
  chmod(dir.file("r.xml").c_str(), 0640);
  list->slides.resize(1);
  ASSERT_EQ(slidesSaveToXmlNode(list.get(), dir.file("r.xml")), 1);
  EXPECT_EQ(readText(dir.file("r.xml")).find("id=\"1\""), std::string::npos);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"r.xml"});
  struct stat info;
  ASSERT_EQ(stat(dir.file("r.xml").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u) << "the replaced file's permissions are kept";
}

TEST(ResultsXmlWrite, SavingThroughALinkReplacesTheLinkedFile) {
  TempDir dir;
  auto list = slideListCreate("v.avi", nullptr);
  writeText(dir.file("real.xml"), "old");
  ASSERT_EQ(symlink("real.xml", dir.file("link.xml").c_str()), 0);
  ASSERT_EQ(slidesSaveToXmlNode(list.get(), dir.file("link.xml")), 1);
  struct stat info;
  ASSERT_EQ(lstat(dir.file("link.xml").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_NE(readText(dir.file("real.xml")).find("v.avi"), std::string::npos);
}

TEST(ResultsXmlWrite, FailedSaveReportsAndKeepsEarlierState) {
  TempDir dir;
  auto list = slideListCreate("v.avi", nullptr);

  // The target's directory does not exist.
  testing::internal::CaptureStderr();
  EXPECT_EQ(slidesSaveToXmlNode(list.get(), dir.file("missing/r.xml")), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Cannot save XML file.\n");

  // The target is a directory: the rename fails after the temporary was written.
  ASSERT_EQ(mkdir(dir.file("busy.xml").c_str(), 0755), 0);
  writeText(dir.file("busy.xml/keep"), "earlier");
  testing::internal::CaptureStderr();
  EXPECT_EQ(slidesSaveToXmlNode(list.get(), dir.file("busy.xml")), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Cannot save XML file.\n");
  EXPECT_EQ(readText(dir.file("busy.xml/keep")), "earlier");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"busy.xml"}) << "temporary removed";

  testing::internal::CaptureStderr();
  EXPECT_EQ(slidesSaveToXmlNode(list.get(), ""), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Cannot save XML file.\n");
}

TEST(ResultsXmlWrite, WriteFailingHalfwayKeepsTheEarlierFile) {
  TempDir dir;
  auto list = slideListCreate("v.avi", nullptr);
  ASSERT_EQ(slidesSaveToXmlNode(list.get(), dir.file("r.xml")), 1);
  const std::string earlier = readText(dir.file("r.xml"));
  for (int i = 0; i < 2000; ++i) list->slides.push_back(slideRecordMake(i, "s.jpg", i, i, 0));

  // A file size limit makes the write fail part way, as a full disk would.
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  testing::internal::CaptureStderr();
  int result = slidesSaveToXmlNode(list.get(), dir.file("r.xml"));
  std::string errors = testing::internal::GetCapturedStderr();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousSignal);

  EXPECT_EQ(result, 0);
  EXPECT_EQ(errors, "Error: Cannot save XML file.\n");
  EXPECT_EQ(readText(dir.file("r.xml")), earlier);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"r.xml"});
}

TEST(AtomicFile, FailedWriteLeavesTheEarlierFileWhole) {
  TempDir dir;
  writeText(dir.file("r.xml"), "complete earlier results");
  bool replaced = replaceFileAtomically(dir.file("r.xml"), [](int fd) {
    EXPECT_EQ(write(fd, "<da", 3), 3);  // interrupted halfway
    return false;
  });
  EXPECT_FALSE(replaced);
  EXPECT_EQ(readText(dir.file("r.xml")), "complete earlier results");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"r.xml"});

  EXPECT_TRUE(
      replaceFileAtomically(dir.file("r.xml"), [](int fd) { return write(fd, "new", 3) == 3; }));
  EXPECT_EQ(readText(dir.file("r.xml")), "new");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"r.xml"});
}
