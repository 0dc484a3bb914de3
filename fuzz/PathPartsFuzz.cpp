// Path parts of Shift-JIS bytes as the program reads them: the text arrives as well-formed UTF-8,
// the folder part with separator and the file-name part make up the path, the folder part begins
// it, and the extension ends the file-name part.
#include "FakePlatform.h"
#include "platform/PathParts.h"
#include "platform/Utf8.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const sf::testing::FakePlatform fake;
  const std::string path = fake.FromShiftJis(std::string_view(reinterpret_cast<const char *>(data), size));
  if (!sf::IsValidUtf8(path))
    std::abort();
  const auto fileName = sf::FileNamePart(path);
  const auto folderWithSeparator = sf::FolderPartWithSeparator(path);
  const auto folder = sf::FolderPart(path);
  const auto extension = sf::ExtensionPart(path);

  if (folderWithSeparator + fileName != path)
    std::abort();
  if (folderWithSeparator.compare(0, folder.size(), folder) != 0 || folderWithSeparator.size() - folder.size() > 1)
    std::abort();
  if (extension.size() > fileName.size() ||
      fileName.compare(fileName.size() - extension.size(), extension.size(), extension) != 0)
    std::abort();
  if (!extension.empty() && extension.front() != '.')
    std::abort();
  const auto upper = fake.UpperCase(path);
  if (upper.size() != path.size() || fake.UpperCase(upper) != upper || !sf::IsValidUtf8(upper))
    std::abort();
  return 0;
}
