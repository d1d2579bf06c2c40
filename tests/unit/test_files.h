// Reading and writing whole files byte for byte in tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace sorane {

inline std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

inline void WriteRaw(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

}  // namespace sorane
