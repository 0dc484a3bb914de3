#include "ScratchFolder.h"

#include "platform/PathParts.h"
#include "platform/win32/Utf16.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace sf::testing {
namespace {

std::string WorkingFolder() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  std::wstring folder(size, L'\0');
  folder.resize(GetCurrentDirectoryW(size, folder.data()));
  return Narrow(folder);
}

void RemoveTree(const std::string &folder) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(Widen(folder + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = Narrow(entry.cFileName);
      if (name == "." || name == "..")
        continue;
      const std::string path = folder + "\\" + name;
      SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path);
      else
        DeleteFileW(Widen(path).c_str());
    } while (FindNextFileW(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryW(Widen(folder).c_str());
}

} // namespace

ScratchFolder::ScratchFolder() : previousWorkingFolder_(WorkingFolder()) {
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  static int serial = 0;
  path_ = Narrow(temp) + "songferry-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
  // Wine reuses process ids: a folder left by a run that was killed goes first.
  RemoveTree(path_);
  if (!CreateDirectoryW(Widen(path_).c_str(), nullptr))
    throw std::runtime_error("cannot create " + path_);
}

ScratchFolder::~ScratchFolder() {
  SetCurrentDirectoryW(Widen(previousWorkingFolder_).c_str());
  RemoveTree(path_);
}

void ScratchFolder::MakeFolder(const std::string &relative) const {
  const std::string path = *this / relative;
  for (std::size_t i = path_.size() + 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\')
      CreateDirectoryW(Widen(path.substr(0, i)).c_str(), nullptr);
  }
}

void ScratchFolder::Write(const std::string &relative, const std::string &content, unsigned long attributes) const {
  const auto folder = FolderPart(relative);
  if (!folder.empty())
    MakeFolder(folder);
  WriteWholeFile(*this / relative, content);
  if (attributes != 0)
    SetFileAttributesW(Widen(*this / relative).c_str(), attributes);
}

std::vector<std::string> ScratchFolder::Names(const std::string &relative) const {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(Widen(*this / relative + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE)
    return names;
  do {
    const std::string name = Narrow(entry.cFileName);
    if (name != "." && name != "..")
      names.push_back(name);
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadWholeFile(const std::string &path) {
  std::ifstream file(std::filesystem::path(Widen(path)), std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteWholeFile(const std::string &path, const std::string &content) {
  std::ofstream(std::filesystem::path(Widen(path)), std::ios::binary) << content;
}

} // namespace sf::testing
