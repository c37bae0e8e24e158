#include "link/TaskTable.h"

#include <gtest/gtest.h>

using Ids = std::vector<std::uint16_t>;

TEST(TaskTable, SmallIdsComeOutMostRecentFirst) {
    TaskTable table;
    table.Insert(2, "R");
    table.Insert(13, "A");
    table.Insert(3, "D");
    EXPECT_EQ(table.Ids(), (Ids{3, 13, 2}));
    EXPECT_EQ(table.First(), 3);

    // Queued again: one frame, the new one, now at the head.
    table.Insert(13, "A2");
    EXPECT_EQ(table.Size(), 3u);
    EXPECT_EQ(table.Ids(), (Ids{13, 3, 2}));
    EXPECT_EQ(*table.Find(13), "A2");
}

TEST(TaskTable, BucketsOrderLargerIds) {
    TaskTable table;
    table.Insert(40, "x");  // bucket 2
    table.Insert(5, "z");   // bucket 0
    table.Insert(17, "y");  // bucket 1
    table.Insert(300, "w"); // 300 >> 4 = 18: bucket 1, inserted last so first in it
    EXPECT_EQ(table.Ids(), (Ids{5, 300, 17, 40}));
}

TEST(TaskTable, RemoveAndClear) {
    TaskTable table;
    EXPECT_FALSE(table.First().has_value());
    table.Insert(5, "Z");
    table.Insert(3, "D");
    EXPECT_TRUE(table.Remove(3));
    EXPECT_FALSE(table.Remove(3));
    EXPECT_FALSE(table.Contains(3));
    EXPECT_EQ(table.First(), 5);
    table.Clear();
    EXPECT_TRUE(table.Empty());
    EXPECT_EQ(table.Find(5), nullptr);
}
