#pragma once

#include <string>

namespace korvane {

// A new globally unique string in the random-UUID form "XXXXXXXX-XXXX-4XXX-YXXX-XXXXXXXXXXXX" (uppercase
// hex, Y one of 8, 9, A, B; 122 random bits), used to give engine objects and files names that never
// collide. Returns a string the caller owns; any thread.
std::string uniqueString();

}  // namespace korvane
