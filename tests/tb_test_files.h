// Test helper: scratch directories and files for the tablebase tests.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tablebases/descriptor.h"

namespace tbfiles {

// A fresh directory under the system's temporary directory.
inline std::string makeScratchDir() {
  char pattern[] = "/tmp/tessel_tb_XXXXXX";
  const char* dir = mkdtemp(pattern);
  return dir ? std::string(dir) : std::string();
}

inline bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// Removes the files of a scratch directory made by these tests, then the directory.
inline void removeScratchDir(const std::string& dir) {
  if (dir.empty()) return;
  const std::string command = "rm -rf '" + dir + "'";
  if (std::system(command.c_str()) != 0) std::perror("rm");
}

// Things that are not regular files, to put where a table file is looked for.
enum class NotAFile { directory, fifo, linkToDirectory };
constexpr NotAFile NOT_A_FILE_KINDS[] = {NotAFile::directory, NotAFile::fifo,
                                         NotAFile::linkToDirectory};

inline const char* notAFileName(NotAFile kind) {
  switch (kind) {
    case NotAFile::directory: return "directory";
    case NotAFile::fifo: return "FIFO";
    default: return "link to a directory";
  }
}

// Makes one at path (the link points to the directory holding it).
inline bool makeNotAFile(const std::string& path, NotAFile kind) {
  switch (kind) {
    case NotAFile::directory: return mkdir(path.c_str(), 0755) == 0;
    case NotAFile::fifo: return mkfifo(path.c_str(), 0644) == 0;
    default: return symlink(".", path.c_str()) == 0;
  }
}

// An anonymous temporary file holding the bytes, positioned at its start.
inline FILE* memoryFile(const std::vector<uint8_t>& bytes) {
  FILE* f = std::tmpfile();
  if (!f) return nullptr;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

// Bytes that differ from their neighbours, so a byte read from the wrong place shows.
inline std::vector<uint8_t> patternBytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> b(n);
  uint32_t x = seed * 2654435761u + 12345;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345;
    b[i] = static_cast<uint8_t>(x >> 23);
  }
  return b;
}

// The descriptor lengths as they were, for tests that set some of them.
struct SavedLengths {
  int64_t length[TB_TABLE_COUNT][2];
  void save() {
    for (int id = 0; id < TB_TABLE_COUNT; ++id)
      for (int s = 0; s < 2; ++s) length[id][s] = tbDescriptors[id].length[s];
  }
  void restore() const {
    for (int id = 0; id < TB_TABLE_COUNT; ++id)
      for (int s = 0; s < 2; ++s) tbDescriptors[id].length[s] = length[id][s];
  }
};

}  // namespace tbfiles
