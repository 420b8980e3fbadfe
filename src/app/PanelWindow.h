#pragma once

#include <cstdint>
#include <string>

// What the plain-C++ core needs of the main window: the lists, the buttons' colours, the link
// lamp and the window order. The link's timers are asked through LinkTimers. The Qt window
// implements it; tests use a fake that records every call.
enum class ChannelButton { On, Off, Cue };

// The channel buttons' backgrounds, as 0x00BBGGRR colours: the resting face they have when the
// window opens, and the two highlights a channel report lights them with.
inline constexpr std::uint32_t kButtonResting = 0xF4FFFE;
inline constexpr std::uint32_t kButtonLitYellow = 0xC0FFFF;  // OFF while off, CUE while in cue
inline constexpr std::uint32_t kButtonLitCyan = 0xFFFFC0;    // ON while on

// The link as the operator's lamp shows it: no connection to the Server Module (whatever the
// switcher was last reported as), connected but the switcher not reported up, or both up.
enum class LinkState { NoConnection, ServerOnly, SwitcherUp };

class PanelWindow {
 public:
  virtual ~PanelWindow() = default;

  // The selectors, refilled from the shared name tables after a table arrives.
  virtual void LoadInputCombo() = 0;
  virtual void LoadConsoleCombo() = 0;

  // Background of a channel button, as a 0x00BBGGRR colour.
  virtual void SetButtonColour(ChannelButton button, std::uint32_t bgr) = 0;

  // The link lamp: its state and the Server Module it concerns (an empty address: none set).
  // Told only when one of them differs from what the lamp last showed.
  virtual void ShowLinkState(LinkState state, const std::string& address, std::int32_t port) = 0;

  // Window order: kTopmost (-1) or kNotTopmost (-2); never moves or resizes the window.
  virtual void SetWindowOrder(std::int32_t insertAfter) = 0;
};
