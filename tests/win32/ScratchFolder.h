#pragma once

#include <string>
#include <vector>

namespace sf::testing {

// A fresh folder under the system's temporary folder (paths in UTF-8), removed with everything in it (read-only
// files included) when the test ends. The working folder is put back as it was, too.
class ScratchFolder {
public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder &) = delete;
  ScratchFolder &operator=(const ScratchFolder &) = delete;

  const std::string &Path() const { return path_; }
  // `relative` below the scratch folder, with "\" between.
  std::string operator/(const std::string &relative) const { return path_ + "\\" + relative; }

  // Creates the file (and its folders) with the given content and Win32 attributes.
  void Write(const std::string &relative, const std::string &content = {}, unsigned long attributes = 0) const;
  void MakeFolder(const std::string &relative) const;
  // The names in a folder below the scratch folder, hidden ones included, sorted.
  std::vector<std::string> Names(const std::string &relative) const;

private:
  std::string path_;
  std::string previousWorkingFolder_;
};

std::string ReadWholeFile(const std::string &path);
void WriteWholeFile(const std::string &path, const std::string &content);

} // namespace sf::testing
