#include "convert/OpenDecoder.h"

#include "convert/AiffReader.h"
#include "convert/FlacDecoder.h"
#include "convert/InputFile.h"
#include "convert/OggDecoders.h"
#include "platform/PathParts.h"

#include <cstring>

namespace sf {
namespace {

// Whether the bytes at `offset` open a native FLAC stream.
bool IsFlacAt(InputFile &file, std::uint64_t offset) {
  char magic[4];
  return file.ReadAt(offset, magic, sizeof magic) == sizeof magic && std::memcmp(magic, "fLaC", 4) == 0;
}

// Where the audio starts after an ID3v2 tag, which some taggers put before FLAC's own header.
std::uint64_t AfterId3v2(const unsigned char *head) {
  std::uint64_t size = 0;
  for (int i = 6; i < 10; ++i)
    size = size << 7 | (head[i] & 0x7F);
  const bool footer = (head[5] & 0x10) != 0;
  return 10 + size + (footer ? 10 : 0);
}

} // namespace

std::unique_ptr<PcmSource> OpenDecoder(const std::string &path,
                                       const std::function<const MediaFoundation &()> &mediaFoundation) {
  auto file = std::make_unique<InputFile>(path);
  unsigned char head[12] = {};
  const std::size_t got = file->ReadAt(0, head, sizeof head);
  if (got >= 4 && std::memcmp(head, "fLaC", 4) == 0)
    return std::make_unique<FlacSource>(std::move(file), FlacSource::Container::Native);
  if (got >= 10 && std::memcmp(head, "ID3", 3) == 0 && IsFlacAt(*file, AfterId3v2(head)))
    return std::make_unique<FlacSource>(std::move(file), FlacSource::Container::Native);
  if (got >= 4 && std::memcmp(head, "OggS", 4) == 0)
    return OpenOgg(std::move(file));
  if (IsAiff(head, got))
    return std::make_unique<AiffSource>(std::move(file));

  const std::string extension = UpperAscii(ExtensionPart(path));
  const wchar_t *contentType = nullptr;
  if (extension == ".M4A" || extension == ".MP4" || extension == ".M4B")
    contentType = L"audio/mp4";
  else if (extension == ".AAC")
    contentType = L"audio/aac";
  else if (extension == ".WAV")
    contentType = L"audio/wav";
  else if (extension == ".FLAC" || extension == ".OGG" || extension == ".OGA" || extension == ".OPUS" ||
           extension == ".AIF" || extension == ".AIFF")
    // Named for a format the program reads, without its header.
    throw ConvertFailure{ConvertProblem::Broken};
  else
    throw ConvertFailure{ConvertProblem::NotSupported};
  file.reset();
  return mediaFoundation().Open(path, contentType);
}

} // namespace sf
