// Heap allocations of the program: linking allocation_counter.cpp replaces the global
// operator new and delete (all forms) with ones that count every allocation.
#pragma once

#include <cstdint>

// Allocations made so far by any thread (a running count; take differences).
uint64_t heapAllocations();
