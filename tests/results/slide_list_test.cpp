#include "results/slide_list.h"

#include <gtest/gtest.h>

using namespace slidetrack;

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
