#include "results/slide_list.h"

#include <gtest/gtest.h>

using namespace slidetrack;

using Text = std::optional<std::string>;

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
