// Writes the recorder-answer fuzz corpus seeds, one file per sample.

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/fuzz/recorder_answers_samples.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  for (const auto& sample : recorder_answers_samples::Samples()) {
    std::ofstream out(dir / sample.name, std::ios::binary | std::ios::trunc);
    out.write(sample.input.data(), static_cast<std::streamsize>(sample.input.size()));
    if (!out.flush()) {
      std::fprintf(stderr, "cannot write %s\n", sample.name);
      return 1;
    }
  }
  return 0;
}
