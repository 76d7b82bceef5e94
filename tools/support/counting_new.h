#pragma once
// Counts the heap allocations of this program's operator new while counting
// is on. A program that uses it compiles counting_new.cpp, which replaces
// operator new; other modules (the vendor doubles) keep their own heap use.

void CountAllocations(bool on);
long AllocationCount();
void ResetAllocationCount();
