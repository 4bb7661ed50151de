#include "support/failing_allocations.h"

#include <cstdlib>
#include <new>

namespace testing_support {

bool allocationsFail = false;

}  // namespace testing_support

void* operator new(std::size_t size) {
    if (!testing_support::allocationsFail) {
        if (void* block = std::malloc(size ? size : 1)) return block;
    }
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
