// The command keys and the double-click: each changes the AppState and says what to repaint.
// The platform turns the answer into an invalidation: the whole client area, or the panel strip
// (the client rectangle with its right edge at kPanelStripRight).
#pragma once

#include "app/app_state.h"

enum class Repaint { None, PanelStrip, WholeArea };

inline constexpr int kPanelStripRight = 300;

// Virtual-key codes the commands know, as the Windows keyboard numbers them.
inline constexpr int kKeyShift = 16;
inline constexpr int kKeyPageUp = 33;
inline constexpr int kKeyPageDown = 34;
inline constexpr int kKeyLeft = 37;
inline constexpr int kKeyUp = 38;
inline constexpr int kKeyRight = 39;
inline constexpr int kKeyDown = 40;

// A character message; the code is the 8-bit character.
Repaint onChar(AppState& state, unsigned char code);
Repaint onKeyDown(AppState& state, int virtualKey);
void onKeyUp(AppState& state, int virtualKey);
// Client coordinates as the message carries them (unsigned 16-bit values). Uses the client size
// that the last paint remembered in the state.
Repaint onDoubleClick(AppState& state, unsigned x, unsigned y);
