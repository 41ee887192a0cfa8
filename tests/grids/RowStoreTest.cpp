#include "RowStore.h"

#include <gtest/gtest.h>

#include <string>

using phonebook::RowStore;

TEST(RowStore, RowsAreUnloadedUntilSetAndForgottenOnReset)
{
    RowStore<std::string> store;
    EXPECT_EQ(store.rowCount(), 0);
    EXPECT_EQ(store.find(0), nullptr);

    store.reset(1'000'000);
    EXPECT_EQ(store.rowCount(), 1'000'000);
    EXPECT_EQ(store.loadedCount(), 0);
    EXPECT_FALSE(store.contains(0));
    EXPECT_FALSE(store.contains(999'999));

    store.set(999'999, "last");
    store.set(0, "first");
    store.set(500, "middle");
    EXPECT_EQ(store.loadedCount(), 3);
    ASSERT_NE(store.find(999'999), nullptr);
    EXPECT_EQ(*store.find(999'999), "last");
    EXPECT_EQ(*store.find(0), "first");
    EXPECT_EQ(*store.find(500), "middle");
    EXPECT_FALSE(store.contains(501));
    EXPECT_FALSE(store.contains(499));

    // Replacing a row keeps one value for it.
    store.set(500, "again");
    EXPECT_EQ(store.loadedCount(), 3);
    EXPECT_EQ(*store.find(500), "again");

    store.reset(10);
    EXPECT_EQ(store.rowCount(), 10);
    EXPECT_EQ(store.loadedCount(), 0);
    EXPECT_FALSE(store.contains(0));
    EXPECT_EQ(store.find(0), nullptr);
}

TEST(RowStore, RowsOutsideTheStoreAreRefused)
{
    RowStore<int> store;
    store.reset(3);
    EXPECT_THROW(store.set(3, 1), std::out_of_range);
    EXPECT_THROW(store.set(-1, 1), std::out_of_range);
    EXPECT_THROW(store.reset(-1), std::out_of_range);
    EXPECT_FALSE(store.contains(-1));
    EXPECT_FALSE(store.contains(3));
    EXPECT_EQ(store.find(3), nullptr);
    EXPECT_EQ(store.loadedCount(), 0);
}

TEST(RowStore, ManyRowsLoadedInAnyOrderKeepTheirValues)
{
    RowStore<int> store;
    store.reset(5000);
    // Pages loaded out of order, as a user jumping around a long list does.
    for (int start : {4900, 0, 2500, 101})
        for (int row = start; row < start + 100; ++row)
            store.set(row, row * 7);
    EXPECT_EQ(store.loadedCount(), 400);
    for (int row = 0; row < 5000; ++row) {
        const bool loaded = (row < 100) || (row >= 101 && row < 201) || (row >= 2500 && row < 2600) || row >= 4900;
        ASSERT_EQ(store.contains(row), loaded) << row;
        if (loaded) {
            ASSERT_EQ(*store.find(row), row * 7) << row;
        }
    }
}
