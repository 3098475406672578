#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pigeonet {

// The shell's text fields hold a fixed number of UTF-16 units including the terminating zero. Cuts `utf8` to at
// most `maxUnits` UTF-16 units, never keeping half of a surrogate pair (the pair is dropped whole). Invalid UTF-8
// becomes U+FFFD, as everywhere else in the program. No terminator is added.
std::u16string CutToUtf16Units(std::string_view utf8, std::size_t maxUnits);

// The picture index actually selected for a request on a list of `count` images: past the end clamps to the last
// image; a negative request selects image 0 (there is no picture before the first); an empty list gives 0.
int ClampIconIndex(int requested, int count);

// The index the flashing moves to after showing `current` in a list of `count` images: the next one, wrapping
// around to 0 after the last.
int NextCycleIndex(int current, int count);

// What the tray icon does in answer to one mouse message the shell reports for it.
enum class TrayMouseAction {
    None,
    Click,           // raise OnClick
    RunDefaultItem,  // click the popup menu's default item
    OpenMenu,        // open the popup menu at the cursor
};

// Turns the shell's mouse messages for the icon (the lParam of the callback message: WM_LBUTTONDOWN and so on)
// into actions. A click is a left press followed by a left release; the release raises it at once. The second
// press of a double click arrives as WM_LBUTTONDBLCLK instead of a press, so it runs the default item and does not
// arm, and the release after it raises nothing.
class TrayMouseInput {
  public:
    static constexpr std::uint32_t kMouseMove = 0x0200;
    static constexpr std::uint32_t kLeftDown = 0x0201;
    static constexpr std::uint32_t kLeftUp = 0x0202;
    static constexpr std::uint32_t kLeftDoubleClick = 0x0203;
    static constexpr std::uint32_t kRightDown = 0x0204;

    // `enabled` false: the message is ignored entirely, the armed state included.
    TrayMouseAction Handle(std::uint32_t mouseMessage, bool enabled);
    bool Armed() const { return armed_; }

  private:
    bool armed_ = false;
};

}  // namespace pigeonet
