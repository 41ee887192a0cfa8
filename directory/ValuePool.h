#pragma once
// Room for the values the table hands to SQLite, in blocks that SQLite gives
// back once it no longer needs the value: a value it keeps (the running max()
// of a column, a row of a subquery) stays valid, and yet a scan allocates
// nothing per value, as the next values reuse the blocks given back.

#include <cstddef>

namespace phonebook {

// Room for `bytes` of value, or nullptr when memory is out.
char *AcquireValue(size_t bytes);
// The destructor SQLite calls for a value from AcquireValue.
void ReleaseValue(void *value);

} // namespace phonebook
