#include "ScratchFolder.h"

#include "platform/PathParts.h"
#include "platform/win32/Win32Platform.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace sf::testing {
namespace {

std::string WorkingFolder() {
  const DWORD size = GetCurrentDirectoryA(0, nullptr);
  std::string folder(size, '\0');
  folder.resize(GetCurrentDirectoryA(size, folder.data()));
  return folder;
}

void RemoveTree(const std::string &folder) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..")
        continue;
      const std::string path = folder + "\\" + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path);
      else
        DeleteFileA(path.c_str());
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

} // namespace

ScratchFolder::ScratchFolder() : previousWorkingFolder_(WorkingFolder()) {
  char temp[MAX_PATH + 1];
  GetTempPathA(sizeof temp, temp);
  static int serial = 0;
  path_ = std::string(temp) + "songferry-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
  // Wine reuses process ids: a folder left by a run that was killed goes first.
  RemoveTree(path_);
  if (!CreateDirectoryA(path_.c_str(), nullptr))
    throw std::runtime_error("cannot create " + path_);
}

ScratchFolder::~ScratchFolder() {
  SetCurrentDirectoryA(previousWorkingFolder_.c_str());
  RemoveTree(path_);
}

void ScratchFolder::MakeFolder(const std::string &relative) const {
  const std::string path = *this / relative;
  for (std::size_t i = path_.size() + 1; i <= path.size(); i += IsDBCSLeadByte(path[i]) ? 2 : 1) {
    if (i == path.size() || path[i] == '\\')
      CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
  }
}

void ScratchFolder::Write(const std::string &relative, const std::string &content, unsigned long attributes) const {
  const auto folder = FolderPart(Win32Platform(), relative);
  if (!folder.empty())
    MakeFolder(folder);
  const std::string path = *this / relative;
  std::ofstream(path, std::ios::binary) << content;
  if (attributes != 0)
    SetFileAttributesA(path.c_str(), attributes);
}

std::vector<std::string> ScratchFolder::Names(const std::string &relative) const {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((*this / relative + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE)
    return names;
  do {
    const std::string name = entry.cFileName;
    if (name != "." && name != "..")
      names.push_back(name);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadWholeFile(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

} // namespace sf::testing
