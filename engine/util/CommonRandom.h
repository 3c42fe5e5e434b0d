#pragma once

#include <string>

// One process-wide generator, seeded once from the system's entropy source, shared by every caller.
namespace zov {

// A number in 0..n-1, or -1 when n <= 0.
int RandomBelow(int n);

// length characters from digits, upper- and lower-case letters; never the same text as the previous
// token of the process (checked and stored under one lock, so concurrent callers get distinct tokens).
std::string MakeRandomToken(std::size_t length);

// length characters from "abcdefghijklmnopqrstuvwxyz0123456789", or from "0123456789" when digitsOnly.
std::string MakeRandomName(std::size_t length, bool digitsOnly);

}  // namespace zov
