#include "support/failing_allocations.h"

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

namespace tovrak::test {
namespace {

constexpr std::size_t kNeverFail = std::numeric_limits<std::size_t>::max();
std::atomic<std::size_t> g_failFrom{kNeverFail};
std::atomic<std::size_t> g_failures{0};

void* Allocate(std::size_t bytes) noexcept {
    if (bytes >= g_failFrom.load(std::memory_order_relaxed)) {
        g_failures.fetch_add(1, std::memory_order_relaxed);
        return nullptr;
    }
    return std::malloc(bytes ? bytes : 1);
}

}  // namespace

FailingAllocations::FailingAllocations(std::size_t minimumBytes) noexcept {
    g_failFrom.store(minimumBytes);
}

FailingAllocations::~FailingAllocations() {
    g_failFrom.store(kNeverFail);
}

std::size_t FailingAllocations::failures() noexcept {
    return g_failures.load();
}

}  // namespace tovrak::test

// The replaceable allocation functions of the whole test program.
void* operator new(std::size_t bytes) {
    if (void* block = tovrak::test::Allocate(bytes)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t bytes) {
    if (void* block = tovrak::test::Allocate(bytes)) return block;
    throw std::bad_alloc();
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return tovrak::test::Allocate(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    return tovrak::test::Allocate(bytes);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
