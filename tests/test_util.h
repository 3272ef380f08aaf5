// Small helpers shared by the tests: scratch folders and whole-file access.
#ifndef BRANTIX_TESTS_TEST_UTIL_H_
#define BRANTIX_TESTS_TEST_UTIL_H_

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

/// A fresh folder under the system's temporary folder, removed at the end.
struct ScratchDir {
  std::filesystem::path path;
  ScratchDir() {
    static std::mt19937_64 rng(std::random_device{}());
    path = std::filesystem::temp_directory_path() /
           ("brantix-test-" + std::to_string(rng()));
    std::filesystem::create_directories(path);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path, ignored);
  }
  std::string operator/(const std::string& name) const {
    return (path / name).string();
  }
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

#endif  // BRANTIX_TESTS_TEST_UTIL_H_
