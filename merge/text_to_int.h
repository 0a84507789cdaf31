#ifndef SEGJOIN_MERGE_TEXT_TO_INT_H_
#define SEGJOIN_MERGE_TEXT_TO_INT_H_

#include <cstdint>
#include <string_view>

namespace segjoin {

// Reads the start number the way users type it: leading white space, an
// optional sign, then digits up to the first non-digit. Full-width forms
// (U+FF01..U+FF5E) count as their ASCII twins and U+3000 as a space, since
// Chinese input methods produce them. Digits accumulate modulo 2^32 and the
// pattern is read as a signed number, so overlong input wraps instead of
// failing; text without digits gives 0.
int32_t TextToInt(std::string_view utf8_text);

}  // namespace segjoin

#endif  // SEGJOIN_MERGE_TEXT_TO_INT_H_
