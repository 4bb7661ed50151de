#pragma once
// A program that links this replaces the global allocation functions with ones that fail,
// as when memory has run out, while `allocationsFail` is set.
namespace testing_support {

extern bool allocationsFail;

}  // namespace testing_support
