// Replacement global operator new for tests: counts allocations and fails a chosen one.
#pragma once

#include <cstdint>

namespace VELD::testing {

// From now on, count allocations and fail the one numbered failAt (1-based; 0 fails none).
void armAllocationFailure(std::uint64_t failAt);
// Stops counting; returns how many allocations were made while armed.
std::uint64_t disarmAllocationFailure();
// Allocations made and not yet released, over the whole process.
std::int64_t liveAllocations();

}  // namespace VELD::testing
