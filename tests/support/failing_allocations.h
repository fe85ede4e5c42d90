#pragma once
// Makes the test program's own C++ allocations fail on purpose, to reach the paths that a shortage of
// memory takes. The program's operator new is replaced for this; the system's heaps are untouched.

#include <cstddef>

namespace tovrak::test {

// While an object lives, every operator new of at least `minimumBytes` fails (throws std::bad_alloc,
// or returns null in its non-throwing form). Nothing of the test framework may run meanwhile that
// allocates as much.
class FailingAllocations {
  public:
    explicit FailingAllocations(std::size_t minimumBytes = 0) noexcept;
    ~FailingAllocations();
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;
    // How many allocations failed so far.
    static std::size_t failures() noexcept;
};

}  // namespace tovrak::test
