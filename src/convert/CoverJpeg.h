#pragma once

#include <string>
#include <string_view>

namespace sf {

// The longest side of a cover in a converted MP3: what car stereos and small players show, at a
// size they decode without running out of memory.
inline constexpr unsigned kLongestCoverSide = 500;

// `picture` (any format the Windows Imaging Component decodes: JPEG, PNG, GIF, BMP, TIFF...) as a
// baseline JPEG whose longer side is at most kLongestCoverSide pixels, never enlarged; transparent
// parts become white. Empty where the picture cannot be decoded or encoded. Units that show covers
// often show no progressive JPEG and no picture larger than a few hundred pixels.
std::string CoverJpeg(std::string_view picture);

} // namespace sf
