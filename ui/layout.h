// The main window described once, for every window toolkit to build from.
#ifndef SEGJOIN_UI_LAYOUT_H_
#define SEGJOIN_UI_LAYOUT_H_

#include <array>
#include <string_view>

namespace segjoin {

enum class ControlKind {
  kLabel,       // transparent caption, left-aligned, one line
  kEdit,        // single-line edit box, centred text
  kDigitsEdit,  // edit box that accepts only typed "0"-"9" and "-"
  kPushButton,  // multi-line caption
};

// Control identifiers, also used by tests to find the controls.
enum ControlId : int {
  kStartLabelId = 1003,        // 透明标签3
  kStartNumberFieldId = 1013,  // 编辑框3
  kStatusLabelId = 1002,       // 透明标签2
  kPrefixLabelId = 1001,       // 透明标签1
  kPrefixFieldId = 1012,       // 编辑框2
  kStatusFieldId = 1011,       // 编辑框1
  kStartButtonId = 1021,       // 按钮1
};

struct ControlLayout {
  ControlKind kind;
  ControlId id;
  int left, top, width, height;  // client coordinates, pixels
  std::string_view text;         // initial text, UTF-8
  int tab_position;              // place in the Tab cycle; -1: not a stop
};

inline constexpr int kWindowOuterWidth = 380;
inline constexpr int kWindowOuterHeight = 191;

// In creation order, which is also the stacking order.
inline constexpr std::array<ControlLayout, 7> kMainWindowControls{{
    {ControlKind::kLabel, kStartLabelId, 8, 67, 48, 32, "序号起始", -1},
    {ControlKind::kDigitsEdit, kStartNumberFieldId, 64, 64, 208, 40, "", 3},
    {ControlKind::kLabel, kStatusLabelId, 8, 120, 48, 32, "处理结果", -1},
    {ControlKind::kLabel, kPrefixLabelId, 8, 16, 48, 32, "固定前缀", -1},
    {ControlKind::kEdit, kPrefixFieldId, 64, 8, 208, 40, "2023-05-20184601", 2},
    {ControlKind::kEdit, kStatusFieldId, 64, 117, 208, 40, "", 1},
    {ControlKind::kPushButton, kStartButtonId, 288, 8, 72, 144, "启动", 0},
}};

// The typing filter of the start-number field: characters below 32 (Backspace,
// Ctrl+V and the like) pass so that editing and pasting still work.
constexpr bool AcceptedInStartNumberField(char32_t typed) {
  return typed < 32 || (typed >= U'0' && typed <= U'9') || typed == U'-';
}

}  // namespace segjoin

#endif  // SEGJOIN_UI_LAYOUT_H_
