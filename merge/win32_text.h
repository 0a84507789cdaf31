// The single crossing between the program's UTF-8 text and the UTF-16 that
// the wide Win32 API takes. Windows builds only.
#ifndef SEGJOIN_MERGE_WIN32_TEXT_H_
#define SEGJOIN_MERGE_WIN32_TEXT_H_

#include <string>
#include <string_view>

namespace segjoin {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace segjoin

#endif  // SEGJOIN_MERGE_WIN32_TEXT_H_
