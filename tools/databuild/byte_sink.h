// Byte output of the data-file writer: little- and big-endian numbers at
// the end of a growing buffer or at a fixed offset inside it. The container
// is big-endian, everything inside its records little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace databuild {

using ByteVec = std::vector<std::uint8_t>;

void AppendU8(ByteVec& out, std::uint8_t v);
void AppendU16LE(ByteVec& out, std::uint16_t v);
void AppendU32LE(ByteVec& out, std::uint32_t v);
void AppendU16BE(ByteVec& out, std::uint16_t v);
void AppendU32BE(ByteVec& out, std::uint32_t v);
void AppendBytes(ByteVec& out, const ByteVec& bytes);
void AppendZeros(ByteVec& out, std::size_t n);
// Zero bytes up to the next multiple of `alignment`.
void PadTo(ByteVec& out, std::size_t alignment);

void PutU16LE(ByteVec& out, std::size_t at, std::uint16_t v);
void PutU32LE(ByteVec& out, std::size_t at, std::uint32_t v);
void PutU32BE(ByteVec& out, std::size_t at, std::uint32_t v);
// UTF-16LE units of `text` at `at`; at most `maxUnits` units, the rest of the
// field is left as it is (the caller zero-fills fields first).
void PutUtf16LE(ByteVec& out, std::size_t at, std::u16string_view text, std::size_t maxUnits);
void AppendUtf16LE(ByteVec& out, std::u16string_view text);

std::uint16_t GetU16LE(const std::uint8_t* p);
std::uint32_t GetU32LE(const std::uint8_t* p);
std::uint16_t GetU16BE(const std::uint8_t* p);
std::uint32_t GetU32BE(const std::uint8_t* p);

// A four-character code ("SRVN") as the 32-bit number whose most significant
// byte is the first character.
constexpr std::uint32_t FourCharCode(const char (&s)[5]) {
  return (static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[0])) << 24) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[1])) << 16) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[2])) << 8) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[3]));
}

// UTF-8 (as written in descriptions) to UTF-16 and back; 4-byte sequences
// become surrogate pairs. Returns false on malformed input.
bool Utf8ToUtf16(std::string_view in, std::u16string* out);
std::string Utf16ToUtf8(std::u16string_view in);

}  // namespace databuild
