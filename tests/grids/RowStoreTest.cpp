#include "RowStore.h"

#include <gtest/gtest.h>

#include <string>

using phonebook::RowStore;

TEST(RowStore, PagesLoadedInAnyOrderKeepTheirRowsUntilReset)
{
    RowStore<std::string> store;
    EXPECT_EQ(store.find(0), nullptr);
    store.reset(1'000'000);
    EXPECT_EQ(store.rowCount(), 1'000'000);
    EXPECT_EQ(store.loadedCount(), 0);

    // Pages loaded out of order, as a user jumping around a long list does.
    for (int start : {999'950, 0, 2500, 101})
        for (int row = start; row < start + 50; ++row)
            store.set(row, std::to_string(row));
    const std::string *first = store.find(0);
    store.set(7, "again"); // replacing keeps one value per row and moves no other row
    EXPECT_EQ(store.loadedCount(), 200);
    EXPECT_EQ(store.find(0), first);
    for (int row : {0, 49, 101, 150, 2500, 2549, 999'950, 999'999})
        ASSERT_TRUE(store.find(row) && *store.find(row) == std::to_string(row)) << row;
    EXPECT_EQ(*store.find(7), "again");
    for (int row : {50, 100, 151, 2499, 2550, 999'949})
        EXPECT_FALSE(store.contains(row)) << row;

    store.reset(10);
    EXPECT_EQ(store.rowCount(), 10);
    EXPECT_EQ(store.loadedCount(), 0);
    EXPECT_FALSE(store.contains(0));
}

TEST(RowStore, RowsOutsideTheStoreAreRefused)
{
    RowStore<int> store;
    store.reset(3);
    EXPECT_THROW(store.set(3, 1), std::out_of_range);
    EXPECT_THROW(store.set(-1, 1), std::out_of_range);
    EXPECT_THROW(store.reset(-1), std::out_of_range);
    EXPECT_FALSE(store.contains(3));
    EXPECT_EQ(store.find(-1), nullptr);
    EXPECT_EQ(store.loadedCount(), 0);
}
