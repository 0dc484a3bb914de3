#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// What the benchmark programs share: a clock, the statistics of their rounds, and the re-syncs' way
// of making copies outdated.
namespace sf::bench {

// Seconds on the performance counter.
inline double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The `q` quantile (0.5 the median), interpolated between neighbours.
inline double Quantile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  const double at = q * static_cast<double>(values.size() - 1);
  const auto below = static_cast<std::size_t>(at);
  const std::size_t above = std::min(below + 1, values.size() - 1);
  return values[below] + (values[above] - values[below]) * (at - static_cast<double>(below));
}

// Closes a file the re-syncs look at.
struct CloseFile {
  void operator()(HANDLE file) const { CloseHandle(file); }
};
using FileOwner = std::unique_ptr<void, CloseFile>;

inline FileOwner OpenFile(const std::string &path, DWORD access) {
  const HANDLE file = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  return FileOwner(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// The names of the files in `folder`, sorted.
inline std::vector<std::string> FileNames(const std::string &folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  const HANDLE found = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (found == INVALID_HANDLE_VALUE)
    return names;
  const std::unique_ptr<void, decltype(&FindClose)> search(found, FindClose);
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      names.push_back(entry.cFileName);
  } while (FindNextFileA(search.get(), &entry));
  std::sort(names.begin(), names.end());
  return names;
}

// Makes `count` of the files in `folder`, spread over their names, a day older.
inline void MakeOlder(const std::string &folder, std::size_t count) {
  const auto names = FileNames(folder);
  constexpr ULONGLONG kDay = 24ULL * 3600 * 10'000'000;
  for (std::size_t i = 0; i < count && i < names.size(); ++i) {
    const FileOwner file = OpenFile(folder + "\\" + names[(2 * i + 1) * names.size() / (2 * count)],
                                    FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
    FILETIME written;
    if (file && GetFileTime(file.get(), nullptr, nullptr, &written)) {
      const ULONGLONG older = (ULONGLONG{written.dwHighDateTime} << 32 | written.dwLowDateTime) - kDay;
      written = {static_cast<DWORD>(older), static_cast<DWORD>(older >> 32)};
      SetFileTime(file.get(), nullptr, nullptr, &written);
    }
  }
}

} // namespace sf::bench
