// Movies for the reader's tests: assembled from the text form, read back.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "player/swf/movie.h"
#include "tools/swf/assembler.h"

namespace vorlo::player::testing {

inline std::vector<uint8_t> assemble(const std::string& text) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(swfasm::assembleSwf(text, bytes, error)) << error << "\n" << text;
  return bytes;
}

// The movie of `text`, read back; the read must succeed.
inline std::unique_ptr<Movie> read(const std::vector<uint8_t>& bytes) {
  std::string error;
  auto movie = readMovie(bytes, &error);
  EXPECT_TRUE(movie) << error;
  return movie;
}

inline std::string warningsOf(const Movie& m) {
  std::string all;
  for (auto& w : m.warnings) all += w + "\n";
  return all;
}

// Reads a movie that must come back whole: no warnings.
inline std::unique_ptr<Movie> readClean(const std::string& text) {
  auto movie = read(assemble(text));
  if (movie) {
    EXPECT_TRUE(movie->warnings.empty()) << warningsOf(*movie);
  }
  return movie;
}

// The one character `id` of the movie, of kind T (fails the test when absent).
template <typename T>
const T& character(const Movie& m, uint16_t id) {
  const T* c = m.find<T>(id);
  if (!c) {
    ADD_FAILURE() << "no character " << id << " of the expected kind";
    static const T empty{};
    return empty;
  }
  return *c;
}

inline uint32_t argb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
  return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
}

}  // namespace vorlo::player::testing
