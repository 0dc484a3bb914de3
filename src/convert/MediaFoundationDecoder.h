#pragma once

#include "convert/PcmSource.h"
#include "platform/win32/ComApartment.h"

#include <objbase.h>
#include <windows.h>

#include <memory>
#include <string>

namespace sf {

// Windows' Media Foundation, for what only it decodes here: AAC and ALAC in MP4, and WAV. Loaded at
// run time from the system folder, never imported: the N editions of Windows lack it, and the
// program must start there all the same.
class MediaFoundation {
public:
  // Loads mfplat and mfreadwrite and starts Media Foundation; throws ConvertFailure
  // (MediaFoundationMissing) where they are missing.
  MediaFoundation();
  // Media Foundation stays started and its DLLs loaded until the process ends: shutting it down as
  // the process ends crashed now and then under Wine, and nothing is gained by it.
  ~MediaFoundation();
  MediaFoundation(const MediaFoundation &) = delete;
  MediaFoundation &operator=(const MediaFoundation &) = delete;

  // The first audio stream of the file at `path`, whose kind the source resolver learns from
  // `contentType` ("audio/mp4"), not from the extension. Throws ConvertFailure.
  std::unique_ptr<PcmSource> Open(const std::string &path, const wchar_t *contentType) const;

  struct Functions; // the entry points taken from the DLLs

private:
  // COM while Media Foundation is used.
  ComApartment apartment_;
  std::unique_ptr<Functions> functions_;
};

} // namespace sf
