#include "slide_list.h"

#include <gtest/gtest.h>

using Text = std::optional<std::string>;

TEST(SlideList, MissingPathsStayMissingAndEmptyOnesStayEmpty) {
  auto list = slideListCreate("talk.avi", nullptr);
  EXPECT_TRUE(list->videoSrc == Text("talk.avi") && !list->originalsSrc);
  list = slideListCreate("", "");
  EXPECT_TRUE(list->videoSrc == Text("") && list->originalsSrc == Text(""));
  EXPECT_FALSE(slideRecordMake(0, nullptr, 0, 0, 0).src);
  EXPECT_EQ(slideRecordMake(0, "", 0, 0, 0).src, Text(""));
  slideListRelease(list);
  EXPECT_FALSE(list);
  slideListRelease(list);  // twice is harmless
}

TEST(SlideList, AppendedRecordsNeverMove) {
  auto list = slideListCreate(nullptr, nullptr);
  list->slides.push_back(slideRecordMake(0, "first", 0, 0, 0));
  list->matchRecords.push_back(slideRecordMake(5, "orig", 0, 0, 0));
  const SlideRecord *open = &list->slides.back(), *match = &list->matchRecords.back();
  for (int i = 1; i < 100000; ++i) {
    list->slides.push_back(slideRecordMake(i, nullptr, i, i, 0));
    list->matchRecords.push_back(slideRecordMake(i, nullptr, 0, 0, 0));
  }
  EXPECT_TRUE(open == &list->slides.front() && open->src == Text("first"));
  EXPECT_TRUE(match == &list->matchRecords.front() && match->src == Text("orig"));
}

TEST(ConcatStrings, JoinsAnyLengthAndPassesMissingSidesThrough) {
  EXPECT_EQ(concatStrings(Text("out/"), Text("slide_1.jpg")), Text("out/slide_1.jpg"));
  EXPECT_EQ(concatStrings(Text(""), Text("slide_1.jpg")), Text("slide_1.jpg"));
  EXPECT_EQ(concatStrings(std::nullopt, Text("b")), Text("b"));
  EXPECT_EQ(concatStrings(Text("a"), std::nullopt), Text("a"));
  EXPECT_EQ(concatStrings(std::nullopt, std::nullopt), std::nullopt);
  Text second("tail");
  second = concatStrings(Text("head-"), second);  // result stored over its own input
  EXPECT_EQ(second, Text("head-tail"));
  const std::string folder(5000, 'd');  // far beyond any fixed buffer
  EXPECT_EQ(concatStrings(folder, Text("/s.jpg")), Text(folder + "/s.jpg"));
}
