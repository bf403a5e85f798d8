#include <gtest/gtest.h>

#include <climits>

#include "results_xml.h"
#include "temp_dir.h"

namespace {

class ResultsXmlRead : public testing::Test {
 protected:
  // Reads the given file text into a new list.
  std::unique_ptr<SlideList> read(const std::string& xml) {
    writeText(dir.file("in.xml"), xml);
    return slidesLoadFromXml(nullptr, dir.file("in.xml").c_str());
  }
  static std::string slides(const std::string& inner) {
    return "<data><slides>" + inner + "</slides></data>";
  }
  TempDir dir;
};

struct Interval {
  int id, start, end;
  bool operator==(const Interval& o) const {
    return id == o.id && start == o.start && end == o.end;
  }
};

std::ostream& operator<<(std::ostream& out, const Interval& i) {
  return out << "{" << i.id << "," << i.start << "," << i.end << "}";
}

std::vector<Interval> intervals(const SlideList& list) {
  std::vector<Interval> result;
  for (const SlideRecord& r : list.slides) result.push_back({r.id, r.start, r.end});
  return result;
}

}  // namespace

TEST_F(ResultsXmlRead, WrittenResultsReadBack) {
  auto originals = slideListCreate(nullptr, nullptr);
  originals->slides.push_back(slideRecordMake(1004, "orig/four.png", 0, 0, 0));
  auto list = slideListCreate("lecture.mp4", "orig.xml");
  list->slides.push_back(slideRecordMake(0, "out/slide_00000000.jpg", 0, 24, 0.1234564));
  list->slides.back().match = &originals->slides[0];
  list->slides.push_back(slideRecordMake(1, nullptr, 25, 80, 0.0));
  list->slides.push_back(slideRecordMake(2, "", 81, 81, 0.9));
  ASSERT_EQ(slidesSaveToXmlNode(list.get(), dir.file("r.xml")), 1);

  auto back = slidesLoadFromXml(nullptr, dir.file("r.xml").c_str());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->videoSrc, list->videoSrc);
  EXPECT_EQ(back->originalsSrc, list->originalsSrc);
  ASSERT_EQ(back->slides.size(), 3u);
  EXPECT_EQ(intervals(*back), intervals(*list));
  EXPECT_EQ(back->slides[0].src, std::optional<std::string>("out/slide_00000000.jpg"));
  EXPECT_FALSE(back->slides[1].src);
  EXPECT_EQ(back->slides[2].src, std::optional<std::string>(""));
  EXPECT_DOUBLE_EQ(back->slides[0].confidence, 0.123456);
  EXPECT_DOUBLE_EQ(back->slides[2].confidence, 0.9);

  ASSERT_EQ(back->matchRecords.size(), 1u);
  const SlideRecord& match = back->matchRecords[0];
  EXPECT_EQ(back->slides[0].match, &match);
  EXPECT_EQ(match.id, 1004);
  EXPECT_EQ(match.src, std::optional<std::string>("orig/four.png"));
  EXPECT_EQ(match.start, 0);
  EXPECT_EQ(match.end, 0);
  EXPECT_EQ(back->slides[1].match, nullptr);
}

TEST_F(ResultsXmlRead, OriginalsWithOnlySourcesNumberFrom1000) {
  auto list = read(slides("<slide src='a.png'/><slide src='b.png' id='7'/><slide src='c.png'/>"));
  ASSERT_TRUE(list);
  EXPECT_EQ(intervals(*list), (std::vector<Interval>{{1000, 0, 0}, {7, 0, 0}, {1001, 0, 0}}));
  EXPECT_EQ(list->slides[2].src, std::optional<std::string>("c.png"));
  EXPECT_FALSE(list->videoSrc);
  EXPECT_FALSE(list->originalsSrc);
}

TEST_F(ResultsXmlRead, GapRulesCloseMissingStartsAndEnds) {
  auto endsMissing =
      read(slides("<slide id='0' start='0'/><slide id='1' start='10'/>"
                  "<slide id='2' start='25'/>"));
  EXPECT_EQ(intervals(*endsMissing), (std::vector<Interval>{{0, 0, 9}, {1, 10, 24}, {2, 25, 0}}));

  auto startsMissing =
      read(slides("<slide id='0' end='9'/><slide id='1' end='24'/>"
                  "<slide id='2' start='-3' end='30'/>"));
  EXPECT_EQ(intervals(*startsMissing),
            (std::vector<Interval>{{0, 0, 9}, {1, 10, 24}, {2, 25, 30}}));

  // A start given after an unended record closes it even when it overlaps.
  auto given = read(slides("<slide start='5' end='0'/><slide start='3' end='8'/>"));
  EXPECT_EQ(intervals(*given), (std::vector<Interval>{{1000, 5, 2}, {1001, 3, 8}}));
}

TEST_F(ResultsXmlRead, OnlyDirectChildrenOfTheFirstSlidesCount) {
  auto list = read(
      "<root><!-- c --><other><slides><slide id='99'/></slides></other>"
      "<slides>text<slide id='1'/><group><slide id='98'/></group><Slide id='97'/>"
      "<?pi x?><slide id='2'/></slides><slides><slide id='96'/></slides></root>");
  ASSERT_TRUE(list);
  EXPECT_EQ(intervals(*list), (std::vector<Interval>{{1, 0, 0}, {2, 0, 0}}));
}

TEST_F(ResultsXmlRead, SourcesTakeTheLastOfEachKindFromTheFirstSources) {
  auto list = read(
      "<data><sources><video src='v1'/><originals/><video src='v2'/><x src='no'/>"
      "</sources><sources><originals src='ignored'/></sources><slides/></data>");
  ASSERT_TRUE(list);
  EXPECT_EQ(list->videoSrc, std::optional<std::string>("v2"));
  EXPECT_FALSE(list->originalsSrc);
  EXPECT_TRUE(list->slides.empty()) << "slides without slide: an empty list, not none";
}

TEST_F(ResultsXmlRead, NumbersConvertLikeAtoiAndAtof) {
  auto list =
      read(slides("<slide id=' 12abc' start='x' end='3.9' confidence=' .5e1z'/>"
                  "<slide id='' start='99999999999999' end='-99999999999999' confidence='none'/>"));
  ASSERT_EQ(list->slides.size(), 2u);
  EXPECT_EQ(intervals(*list), (std::vector<Interval>{{12, 0, 3}, {0, INT_MAX, INT_MIN}}));
  EXPECT_DOUBLE_EQ(list->slides[0].confidence, 5.0);
  EXPECT_DOUBLE_EQ(list->slides[1].confidence, 0.0);
}

TEST_F(ResultsXmlRead, GivenListKeepsItsPathsAndGainsRecords) {
  auto given = slideListCreate("mine.avi", nullptr);
  given->slides.push_back(slideRecordMake(0, "kept", 0, 0, 0));
  SlideRecord* first = &given->slides.front();
  writeText(dir.file("in.xml"),
            "<data><sources><video src='theirs.avi'/></sources><slides>"
            "<slide id='5' match_id='x1'/></slides></data>");
  auto list = slidesLoadFromXml(std::move(given), dir.file("in.xml").c_str());
  ASSERT_TRUE(list);
  EXPECT_EQ(list->videoSrc, std::optional<std::string>("mine.avi"));
  EXPECT_EQ(intervals(*list), (std::vector<Interval>{{0, 0, 0}, {5, 0, 0}}));
  EXPECT_EQ(&list->slides.front(), first);
  ASSERT_EQ(list->matchRecords.size(), 1u);
  EXPECT_EQ(list->matchRecords[0].id, 0);
  EXPECT_FALSE(list->matchRecords[0].src);
}

TEST_F(ResultsXmlRead, BadFilesReturnTheGivenListQuietly) {
  const std::vector<std::string> bad = {
      "",
      "<data><slides><slide id='1'/>",  // truncated
      "<data><slides><slide id='1'></slides></data>",
      "not xml at all",
      "<data><sources/></data>",  // no slides
      "<data><slides>&undefined;</slides></data>",
  };
  for (const std::string& xml : bad) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(read(xml)) << xml;
    auto given = slideListCreate("v", nullptr);
    SlideList* same = given.get();
    writeText(dir.file("in.xml"), xml);
    auto back = slidesLoadFromXml(std::move(given), dir.file("in.xml").c_str());
    EXPECT_EQ(back.get(), same);
    EXPECT_TRUE(back->slides.empty());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << xml;
  }
  testing::internal::CaptureStderr();
  EXPECT_FALSE(slidesLoadFromXml(nullptr, dir.file("absent.xml").c_str()));
  EXPECT_FALSE(slidesLoadFromXml(nullptr, dir.path().c_str()));
  EXPECT_FALSE(slidesLoadFromXml(nullptr, nullptr));
  // An external document type is neither fetched nor complained about.
  EXPECT_TRUE(
      read("<!DOCTYPE data SYSTEM 'http://example.invalid/x.dtd'>"
           "<data><slides>&declaredThere;<slide/></slides></data>"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(ResultsXmlRead, ReadsALargeFile) {
  std::string xml = "<data><slides>\n";
  const int count = 60000;
  for (int i = 0; i < count; ++i)
    xml += "<slide id='" + std::to_string(i) + "' start='" + std::to_string(i * 10) +
           "' confidence='0.5' src='some/longer/folder/name/slide_" + std::to_string(i) +
           ".jpg'/>\n";
  xml += "</slides></data>\n";
  ASSERT_GT(xml.size(), 4u << 20);
  auto list = read(xml);
  ASSERT_TRUE(list);
  ASSERT_EQ(list->slides.size(), static_cast<std::size_t>(count));
  EXPECT_EQ(list->slides[count / 2].end, count / 2 * 10 + 9);
  EXPECT_EQ(list->slides.back().src,
            "some/longer/folder/name/slide_" + std::to_string(count - 1) + ".jpg");
}
