#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vx::help {

// Help texts are stored in the Windows-1252 code page, one byte per character.
char16_t windows1252ToUnicode(std::uint8_t byte);
std::u16string windows1252ToUtf16(std::span<const std::uint8_t> bytes);

// The byte that stands for a character in Windows-1252, if the code page has one.
std::optional<std::uint8_t> unicodeToWindows1252(char32_t ch);

}  // namespace vx::help
