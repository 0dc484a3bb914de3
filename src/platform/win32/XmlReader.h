#pragma once

#include "platform/Platform.h"

#include <optional>
#include <string_view>
#include <vector>

namespace sf {

// The elements of an XML document's bytes as Platform::ReadXmlElements gives them, read by the
// system's XmlLite, which is loaded from the system folder for each document.
std::optional<std::vector<Platform::XmlElement>> ReadXmlDocument(std::string_view bytes);

} // namespace sf
