#include "merge/text_to_int.h"

#include <string>

namespace segjoin {
namespace {

// Stands for any character that can neither start nor continue a number.
constexpr char kOtherCharacter = '\x7F';

// Decodes one UTF-8 sequence at text[pos] and advances pos past it. Returns
// the code point, or -1 for a malformed sequence (which then counts as one
// byte).
int32_t DecodeUtf8(std::string_view text, size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || pos + length > text.size()) {
    ++pos;
    return -1;
  }
  int32_t code_point = lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return -1;
    }
    code_point = (code_point << 6) | (next & 0x3F);
  }
  pos += length;
  return code_point;
}

// Maps the text to ASCII: full-width forms to their ASCII twins, the
// ideographic space to a space, every other non-ASCII character to one
// placeholder.
std::string FoldToAscii(std::string_view text) {
  std::string folded;
  folded.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      folded += text[pos++];
      continue;
    }
    const int32_t code_point = DecodeUtf8(text, pos);
    if (code_point >= 0xFF01 && code_point <= 0xFF5E) {
      folded += static_cast<char>(code_point - 0xFF01 + 0x21);
    } else if (code_point == 0x3000) {
      folded += ' ';
    } else {
      folded += kOtherCharacter;
    }
  }
  return folded;
}

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

int32_t TextToInt(std::string_view utf8_text) {
  const std::string text = FoldToAscii(utf8_text);
  size_t pos = 0;
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  // Unsigned arithmetic gives the modulo-2^32 wrap without undefined
  // behaviour.
  uint32_t value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = value * 10u + static_cast<uint32_t>(text[pos] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

}  // namespace segjoin
