#include "slide_list.h"

#include <gtest/gtest.h>

TEST(SlideList, CreateCopiesGivenPathsAndKeepsMissingOnesMissing) {
  std::string video = "talk.avi";
  auto list = slideListCreate(video.c_str(), nullptr);
  video[0] = 'X';  // the list holds its own copy
  ASSERT_TRUE(list);
  EXPECT_EQ(list->videoSrc, std::optional<std::string>("talk.avi"));
  EXPECT_FALSE(list->originalsSrc);
  EXPECT_TRUE(list->slides.empty());
  EXPECT_TRUE(list->matchRecords.empty());

  auto withEmpty = slideListCreate("", "");
  EXPECT_EQ(withEmpty->videoSrc, std::optional<std::string>(""));
  EXPECT_EQ(withEmpty->originalsSrc, std::optional<std::string>(""));
}

TEST(SlideList, ReleaseClearsThePointerAndAcceptsNone) {
  auto list = slideListCreate(nullptr, nullptr);
  slideListRelease(list);
  EXPECT_FALSE(list);
  slideListRelease(list);
  EXPECT_FALSE(list);
}

TEST(SlideRecord, MakeFillsFieldsWithoutMatch) {
  SlideRecord record = slideRecordMake(7, "img/slide_00000042.jpg", 42, 99, 0.25);
  EXPECT_EQ(record.id, 7);
  EXPECT_EQ(record.start, 42);
  EXPECT_EQ(record.end, 99);
  EXPECT_EQ(record.src, std::optional<std::string>("img/slide_00000042.jpg"));
  EXPECT_DOUBLE_EQ(record.confidence, 0.25);
  EXPECT_EQ(record.match, nullptr);

  EXPECT_FALSE(slideRecordMake(0, nullptr, 0, 0, 0).src);
  EXPECT_EQ(slideRecordMake(0, "", 0, 0, 0).src, std::optional<std::string>(""));
}

TEST(SlideList, AppendedRecordsNeverMove) {
  auto list = slideListCreate(nullptr, nullptr);
  list->slides.push_back(slideRecordMake(0, "first", 0, 0, 0));
  SlideRecord* open = &list->slides.back();
  list->matchRecords.push_back(slideRecordMake(5, "orig", 0, 0, 0));
  const SlideRecord* match = &list->matchRecords.back();
  for (int i = 1; i < 100000; ++i) {
    list->slides.push_back(slideRecordMake(i, nullptr, i, i, 0));
    list->matchRecords.push_back(slideRecordMake(i, nullptr, 0, 0, 0));
  }
  EXPECT_EQ(open, &list->slides.front());
  EXPECT_EQ(open->src, std::optional<std::string>("first"));
  EXPECT_EQ(match->id, 5);
  EXPECT_EQ(match->src, std::optional<std::string>("orig"));
}

TEST(ConcatStrings, JoinsAndPassesMissingSidesThrough) {
  using Text = std::optional<std::string>;
  EXPECT_EQ(concatStrings(Text("out/"), Text("slide_00000001.jpg")),
            Text("out/slide_00000001.jpg"));
  EXPECT_EQ(concatStrings(Text(""), Text("slide_00000001.jpg")), Text("slide_00000001.jpg"));
  EXPECT_EQ(concatStrings(std::nullopt, Text("b")), Text("b"));
  EXPECT_EQ(concatStrings(Text("a"), std::nullopt), Text("a"));
  EXPECT_EQ(concatStrings(std::nullopt, std::nullopt), std::nullopt);

  Text second("tail");
  second = concatStrings(Text("head-"), second);  // result stored over its own input
  EXPECT_EQ(second, Text("head-tail"));
}

TEST(ConcatStrings, HasNoLengthLimit) {
  std::string folder(5000, 'd');
  folder += '/';
  auto joined = concatStrings(folder, std::string("slide_00000123.jpg"));
  ASSERT_TRUE(joined);
  EXPECT_EQ(joined->size(), folder.size() + 18);
  EXPECT_EQ(joined->substr(folder.size()), "slide_00000123.jpg");
}
