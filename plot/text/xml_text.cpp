#include "plot/text/xml_text.h"

#include <cstddef>

namespace vantor::plot {
namespace {

// Length of the UTF-8 sequence starting at text[i], 0 when it is not well formed.
std::size_t utf8_length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = byte(i);
  std::size_t n = 0;
  unsigned lowest = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    lowest = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    lowest = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    lowest = 0x10000;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  unsigned code = c & (0x7Fu >> n);
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3Fu);
  }
  if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  if (code == 0xFFFE || code == 0xFFFF) return 0;
  return n;
}

}  // namespace

std::string xml_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80) {
      const std::size_t n = utf8_length(text, i);
      if (n == 0) {
        out.push_back('?');
        ++i;
      } else {
        out.append(text.substr(i, n));
        i += n;
      }
      continue;
    }
    switch (c) {
      case '&':
        out.append("&amp;");
        break;
      case '<':
        out.append("&lt;");
        break;
      case '>':
        out.append("&gt;");
        break;
      case '"':
        out.append("&quot;");
        break;
      default:
        out.push_back((u < 0x20 && c != '\t') || u == 0x7F ? '?' : c);
        break;
    }
    ++i;
  }
  return out;
}

}  // namespace vantor::plot
