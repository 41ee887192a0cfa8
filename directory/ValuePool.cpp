#include "ValuePool.h"

#include <algorithm>
#include <cstdlib>

namespace phonebook {

namespace {

// Decoded values are handed to SQLite in blocks that it gives back, through
// releaseValue(), once it no longer needs the value: a value it keeps (the
// running max() of a column, a row of a subquery) stays valid, and yet a scan
// allocates nothing per value, as the next values reuse the blocks given back.
// Blocks go back to the free list of the thread that releases them.
struct ValueBlock {
    ValueBlock *next;
    size_t capacity; // bytes after the header
};
constexpr size_t PooledCapacity = 256 - sizeof(ValueBlock); // one size for the common fields
constexpr size_t PoolLimit = 256; // blocks kept free at most

struct ValuePool {
    ValueBlock *free = nullptr;
    size_t count = 0;
    ValuePool() = default;
    ValuePool(const ValuePool &) = delete;
    ValuePool &operator=(const ValuePool &) = delete;
    ~ValuePool()
    {
        while (ValueBlock *block = free) {
            free = block->next;
            std::free(block);
        }
    }
};
thread_local ValuePool t_pool;

// Room for `bytes` of value, or nullptr when memory is out.
} // namespace

char *AcquireValue(size_t bytes)
{
    ValuePool &pool = t_pool;
    ValueBlock *block = nullptr;
    if (bytes <= PooledCapacity && pool.free) {
        block = pool.free;
        pool.free = block->next;
        --pool.count;
    } else {
        const size_t capacity = std::max(bytes, PooledCapacity);
        block = static_cast<ValueBlock *>(std::malloc(sizeof(ValueBlock) + capacity));
        if (!block)
            return nullptr;
        block->capacity = capacity;
    }
    return reinterpret_cast<char *>(block + 1);
}

void ReleaseValue(void *value)
{
    ValueBlock *block = static_cast<ValueBlock *>(value) - 1;
    ValuePool &pool = t_pool;
    if (block->capacity != PooledCapacity || pool.count >= PoolLimit) {
        std::free(block);
        return;
    }
    block->next = pool.free;
    pool.free = block;
    ++pool.count;
}

} // namespace phonebook
