// Text for XML (the SVG picture and the HTML report): the special characters
// escaped, and whatever a document may not hold replaced.
#pragma once

#include <string>
#include <string_view>

namespace vantor::plot {

// The text with the XML special characters escaped and every byte that is not
// part of well-formed UTF-8, or a control character, replaced by "?".
std::string xml_text(std::string_view text);

}  // namespace vantor::plot
