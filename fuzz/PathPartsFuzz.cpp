// Path parts on arbitrary bytes: the folder part with separator and the file-name part make up
// the path, the folder part begins it, and the extension ends the file-name part.
#include "platform/PathParts.h"
#include "platform/ShiftJisCodePage.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const sf::ShiftJisCodePage codePage;
  const std::string path(reinterpret_cast<const char *>(data), size);
  const auto fileName = sf::FileNamePart(codePage, path);
  const auto folderWithSeparator = sf::FolderPartWithSeparator(codePage, path);
  const auto folder = sf::FolderPart(codePage, path);
  const auto extension = sf::ExtensionPart(codePage, path);

  if (folderWithSeparator + fileName != path)
    std::abort();
  if (folderWithSeparator.compare(0, folder.size(), folder) != 0 || folderWithSeparator.size() - folder.size() > 1)
    std::abort();
  if (extension.size() > fileName.size() ||
      fileName.compare(fileName.size() - extension.size(), extension.size(), extension) != 0)
    std::abort();
  if (!extension.empty() && extension.front() != '.')
    std::abort();
  const auto upper = codePage.UpperCase(path);
  if (upper.size() != path.size() || codePage.UpperCase(upper) != upper)
    std::abort();
  return 0;
}
