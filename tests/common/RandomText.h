// Random strings for the tests that compare a fast scanner against a plain one.
#pragma once
#include <random>
#include <string>

namespace testcommon {

// len characters drawn from alphabet (not empty).
inline std::string RandomString(std::mt19937 &rng, const std::string &alphabet, size_t len) {
  std::string s(len, ' ');
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  for (auto &c : s) c = alphabet[pick(rng)];
  return s;
}

}  // namespace testcommon
