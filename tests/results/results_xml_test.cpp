// The results file: what is written, what is read back, and saving that never loses the
// earlier file; the lists' records held by address.

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <set>

#include "common/error.h"
#include "results/results_xml.h"
#include "results/slide_list.h"
#include "scratch.h"

using namespace slidetrack;

namespace {

// "id:start..end 'src' c=confidence -> match_id 'match_src'; " per record, parts only when set.
std::string describe(const std::deque<SlideRecord>& records) {
  std::string text;
  for (const SlideRecord& r : records) {
    text += std::to_string(r.id) + ":" + std::to_string(r.start) + ".." + std::to_string(r.end);
    if (r.src) text += " '" + *r.src + "'";
    if (r.confidence != 0) text += " c=" + std::to_string(r.confidence);
    if (r.match) text += " -> " + std::to_string(r.match->id);
    if (r.match && r.match->src) text += " '" + *r.match->src + "'";
    text += "; ";
  }
  return text;
}

// Works in a fresh directory, removed afterwards, on a run's list of three records, the
// middle one matched to an original.
class ResultsXml : public testing::Test {
 protected:
  void SetUp() override {
    originals->slides.push_back(slideRecordMake(1000, "a.png", 0, 0, 0));
    originals->slides.push_back(slideRecordMake(1001, "b & <c>.png", 3, 9, 0));
    list->slides.push_back(slideRecordMake(0, "out/slide_00000000.jpg", 0, 49, 0.0));
    list->slides.push_back(slideRecordMake(1, "out/slide_00000050.jpg", 50, 119, 0.4213579));
    list->slides.back().match = &originals->slides[1];
    list->slides.push_back(slideRecordMake(2, nullptr, 120, 120, 0.0));
  }
  std::string file(const std::string& name) const { return dir_ / name; }
  std::set<std::string> entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path))
      names.insert(entry.path().filename());
    return names;
  }
  // "" when saved, else the Error's message.
  std::string save(const std::string& path) {
    try {
      slidesSaveToXml(*list, path);
      return "";
    } catch (const Error& e) {
      return e.what();
    }
  }
  std::unique_ptr<SlideList> read(const std::string& xml) {
    std::ofstream(file("in.xml"), std::ios::binary) << xml;
    return slidesLoadFromXml(nullptr, file("in.xml").c_str());
  }

  ScratchDir dir_;
  std::unique_ptr<SlideList> originals = slideListCreate(nullptr, nullptr);
  std::unique_ptr<SlideList> list = slideListCreate("lecture.mp4", "originals.xml");
};

}  // namespace

TEST_F(ResultsXml, WritesElementsAndAttributesInOrderAndReadsThemBack) {
  ASSERT_EQ(save(file("r.xml")), "");
  EXPECT_EQ(
      readFile(file("r.xml")),
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

  list->slides.push_back(slideRecordMake(3, "", 121, 121, 0.9));
  ASSERT_EQ(save(file("r.xml")), "");
  auto back = slidesLoadFromXml(nullptr, file("r.xml").c_str());
  ASSERT_TRUE(back);
  EXPECT_EQ(describe(back->slides), describe(list->slides));
  EXPECT_EQ(describe(back->matchRecords), "1001:0..0 'b & <c>.png'; ");
  EXPECT_EQ(back->slides[1].match, &back->matchRecords[0]);
  EXPECT_TRUE(back->videoSrc == list->videoSrc && back->originalsSrc == list->originalsSrc);
  EXPECT_DOUBLE_EQ(back->slides[1].confidence, 0.421358);

  // Empty sources, numbers in full and a match without a path.
  list = slideListCreate(nullptr, nullptr);
  ASSERT_EQ(save(file("e.xml")), "");
  EXPECT_EQ(readFile(file("e.xml")),
            "<?xml version=\"1.0\"?>\n<data>\n  <sources/>\n  <slides/>\n</data>\n");

  const SlideRecord original = slideRecordMake(3, nullptr, 0, 0, 0);
  list->slides.push_back(slideRecordMake(0, "", 0, 5, 1e300));
  list->slides.back().match = &original;
  ASSERT_EQ(save(file("e.xml")), "");
  // "%f" of 1e300 in full: 301 digits, the point and six decimals.
  char expected[400];
  std::snprintf(expected, sizeof expected, "confidence=\"%f\" src=\"\" match_id=\"3\"/>", 1e300);
  EXPECT_NE(readFile(file("e.xml")).find(expected), std::string::npos) << expected;
  EXPECT_EQ(entries(), (std::set<std::string>{"e.xml", "r.xml"}));
}

TEST_F(ResultsXml, IdsNumbersAndGapRules) {
  // (slides, records read)
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},  // slides without slide: an empty list, not none
      {"<slide src='a.png'/><slide src='b.png' id='7'/><slide src='c.png'/>",
       "1000:0..0 'a.png'; 7:0..0 'b.png'; 1001:0..0 'c.png'; "},
      // Ends missing: each record ends before the next starts; the last stays open.
      {"<slide id='0' start='0'/><slide id='1' start='10'/><slide id='2' start='25'/>",
       "0:0..9; 1:10..24; 2:25..0; "},
      // Starts missing: each record starts after the previous end.
      {"<slide id='0' end='9'/><slide id='1' end='24'/><slide id='2' start='-3' end='30'/>",
       "0:0..9; 1:10..24; 2:25..30; "},
      // A start after an unended record closes it even when they overlap.
      {"<slide start='5' end='0'/><slide start='3' end='8'/>", "1000:5..2; 1001:3..8; "},
      // Numbers read as atoi and atof do, saturated out of range; nothing starts past the
      // largest end.
      {"<slide id=' 12abc' start='-99999999999999' end='3.9' confidence=' .5e1z'/>"
       "<slide id='' start='x' end='99999999999999' confidence='no'/><slide/>",
       "12:-2147483648..3 c=5.000000; 0:4..2147483647; 1000:0..0; "},
      // Only slide elements that are direct children count.
      {"text<slide id='1'/><group><slide id='98'/></group><Slide id='97'/><?pi x?><slide id='2'/>",
       "1:0..0; 2:0..0; "},
  };
  for (const auto& [slides, expected] : cases) {
    auto got = read(std::string("<data><slides>") + slides + "</slides></data>");
    ASSERT_TRUE(got) << slides;
    EXPECT_EQ(describe(got->slides), expected);
  }
}

TEST_F(ResultsXml, BadFilesGiveNoListQuietly) {
  testing::internal::CaptureStderr();
  for (const char* xml :
       {"", "<data><slides><slide id='1'/>", "<data><slides><slide id='1'></slides></data>",
        "not xml at all", "<data><sources/></data>", "<data><slides>&undefined;</slides></data>"}) {
    EXPECT_FALSE(read(xml)) << xml;
  }
  EXPECT_FALSE(slidesLoadFromXml(nullptr, file("absent.xml").c_str()));
  EXPECT_FALSE(slidesLoadFromXml(nullptr, dir_.path.c_str()));
  EXPECT_FALSE(slidesLoadFromXml(nullptr, nullptr));
  // An external document type is neither fetched nor complained about.
  EXPECT_TRUE(
      read("<!DOCTYPE data SYSTEM 'http://example.invalid/x.dtd'>"
           "<data><slides>&declaredThere;<slide/></slides></data>"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// A rewrite replaces the file a link names, keeping its mode; a killed run's temporaries go
// with the first write, other files' stay. A device is written to, never replaced (pipes and the
// console's own stream are the hardening test's, as a run meets them).
TEST_F(ResultsXml, RewritingReplacesTheFileThroughLinksKeepingItsModeAndDevices) {
  for (const char* stale : {"r.xml.tmpab12cd", "r.xml.tmpzz99zz", "other.xml.tmpab12cd"})
    std::ofstream(file(stale)) << "cut off";
  ASSERT_EQ(save(file("r.xml")), "");
  ASSERT_EQ(chmod(file("r.xml").c_str(), 0640), 0);
  ASSERT_EQ(symlink("r.xml", file("link.xml").c_str()), 0);
  list->slides.resize(1);
  ASSERT_EQ(save(file("link.xml")), "");

  EXPECT_EQ(readFile(file("r.xml")).find("id=\"1\""), std::string::npos);
  EXPECT_EQ(entries(), (std::set<std::string>{"link.xml", "other.xml.tmpab12cd", "r.xml"}));
  EXPECT_TRUE(fs::is_symlink(file("link.xml")));
  EXPECT_EQ(fs::status(file("r.xml")).permissions(), fs::perms(0640));
  EXPECT_EQ(save("/dev/null"), "");
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(ResultsXml, FailedSaveReportsAndKeepsEarlierState) {
  ASSERT_EQ(mkdir(file("busy.xml").c_str(), 0755), 0);
  std::ofstream(file("busy.xml/keep")) << "earlier";
  ASSERT_EQ(mkfifo(file("pipe.xml").c_str(), 0644), 0);
  // A missing directory; a directory in the way or a pipe nobody reads, never replaced; no
  // name.
  for (const std::string& path :
       {file("missing/r.xml"), file("busy.xml"), file("pipe.xml"), std::string()})
    EXPECT_NE(save(path).find("'" + path + "'"), std::string::npos) << save(path);
  EXPECT_EQ(readFile(file("busy.xml/keep")), "earlier");
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(file("pipe.xml"))));
  EXPECT_EQ(entries(), (std::set<std::string>{"busy.xml", "pipe.xml"})) << "temporary removed";

  // A file size limit makes the write fail part way, as a full disk would.
  ASSERT_EQ(save(file("r.xml")), "");
  const std::string earlier = readFile(file("r.xml"));
  for (int i = 0; i < 2000; ++i) list->slides.push_back(slideRecordMake(i, "s.jpg", i, i, 0));
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const struct rlimit small = {4096, saved.rlim_max};
  std::signal(SIGXFSZ, SIG_IGN);  // an over-long write fails instead of ending the process
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string outcome = save(file("r.xml"));
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_NE(outcome.find("'" + file("r.xml") + "'"), std::string::npos) << outcome;
  EXPECT_EQ(readFile(file("r.xml")), earlier);
  EXPECT_EQ(entries(), (std::set<std::string>{"busy.xml", "pipe.xml", "r.xml"}));
}

// Matches and the open record are held by address while the lists grow.
TEST(SlideList, AppendedRecordsNeverMove) {
  auto list = slideListCreate(nullptr, nullptr);
  const SlideRecord* open = &list->slides.emplace_back(slideRecordMake(0, "first", 0, 0, 0));
  const SlideRecord* match = &list->matchRecords.emplace_back(slideRecordMake(5, "orig", 0, 0, 0));
  for (int i = 1; i < 100000; ++i) {
    list->slides.push_back(slideRecordMake(i, nullptr, i, i, 0));
    list->matchRecords.push_back(slideRecordMake(i, nullptr, 0, 0, 0));
  }
  EXPECT_TRUE(open == &list->slides.front() && match == &list->matchRecords.front());
}
