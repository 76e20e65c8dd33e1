#include "ui/commands.h"

#include "render/panel.h"
#include "render/plot.h"

namespace {

DimScale& selected(AppState& state) {
  return state.dims[state.selectedDim];
}

bool isOnAxis(const AppState& state) {
  return state.selectedDim == static_cast<unsigned>(state.xDim) ||
         state.selectedDim == static_cast<unsigned>(state.yDim);
}

unsigned dimensionCount(const AppState& state) {
  return static_cast<unsigned>(state.dims.size());
}

// Moves the selection by `step` (+1 or n-1) once, then on while significantOnly hides it. The
// axis dimensions are never Free, so the walk ends within one round.
void stepSelection(AppState& state, unsigned step) {
  const unsigned n = dimensionCount(state);
  state.selectedDim = (state.selectedDim + step) % n;
  for (unsigned guard = 0; state.significantOnly && guard < n; ++guard) {
    if (selected(state).mode != DimMode::Free) break;
    state.selectedDim = (state.selectedDim + step) % n;
  }
}

// The table step of a character; returns whether it changed the state.
bool applyCharacter(AppState& state, char code) {
  DimScale& scale = selected(state);
  switch (code) {
    case 'a':
    case 'c':
      if (isOnAxis(state)) return false;
      scale.mode = code == 'a' ? DimMode::Free : DimMode::Band;
      return true;
    case 'm':
      if (isOnAxis(state)) return false;
      scale.mode = DimMode::Multi;
      if (state.nearValuesDim != -1) state.dims[state.nearValuesDim].mode = DimMode::Free;
      state.nearValuesDim = static_cast<int>(state.selectedDim);
      return true;
    case 'x':
      if (isOnAxis(state)) return false;
      scale.mode = DimMode::XAxis;
      state.dims[state.xDim].mode = DimMode::Free;
      state.xDim = static_cast<int>(state.selectedDim);
      return true;
    case 'y':
      if (isOnAxis(state)) return false;
      scale.mode = DimMode::YAxis;
      state.dims[state.yDim].mode = DimMode::Free;
      state.yDim = static_cast<int>(state.selectedDim);
      return true;
    case 'd':
      state.significantOnly = !state.significantOnly;
      return true;
    default:
      return false;
  }
}

// A scale operation on the selected dimension, or nothing when its mode does not allow it.
bool applyScaleKey(AppState& state, int virtualKey) {
  DimScale& scale = selected(state);
  const DimMode mode = scale.mode;
  const bool constrained = mode == DimMode::Band || mode == DimMode::Multi;
  switch (virtualKey) {
    case kKeyLeft:
    case kKeyRight:
      if (mode == DimMode::Free) return false;
      shiftCenter(scale, virtualKey == kKeyLeft ? -1 : 1);
      return true;
    case kKeyUp:
    case kKeyDown:
      if (state.shiftDown) {
        if (!constrained) return false;
        virtualKey == kKeyUp ? growTolerance(scale) : shrinkTolerance(scale);
      } else {
        if (mode == DimMode::Free || mode == DimMode::Band) return false;
        virtualKey == kKeyUp ? widenScale(scale) : narrowScale(scale);
      }
      return true;
    default:
      return false;
  }
}

}  // namespace

Repaint onChar(AppState& state, unsigned char code) {
  const char character = static_cast<char>(code);
  if (character == 'h') {
    state.helpVisible = !state.helpVisible;
    if (state.messageText) return Repaint::WholeArea;
  } else if (state.messageText) {
    return Repaint::None;
  }
  const bool changed = character != 'h' && applyCharacter(state, character);

  if (state.selectedDim == static_cast<unsigned>(state.nearValuesDim) &&
      selected(state).mode != DimMode::Multi) {
    state.nearValuesDim = -1;
  }
  if (state.significantOnly && selected(state).mode == DimMode::Free) stepSelection(state, 1);

  if (character == 'h') return Repaint::WholeArea;
  if (!changed) return Repaint::None;
  refreshDimensionList(state);
  return character == 'd' ? Repaint::PanelStrip : Repaint::WholeArea;
}

Repaint onKeyDown(AppState& state, int virtualKey) {
  if (state.messageText) return Repaint::None;
  switch (virtualKey) {
    case kKeyShift:
      state.shiftDown = true;
      return Repaint::None;
    case kKeyPageUp:
    case kKeyPageDown:
      stepSelection(state, virtualKey == kKeyPageDown ? 1 : dimensionCount(state) - 1);
      refreshDimensionList(state);
      return Repaint::PanelStrip;
    default:
      if (!applyScaleKey(state, virtualKey)) return Repaint::None;
      refreshDimensionList(state);
      return Repaint::WholeArea;
  }
}

void onKeyUp(AppState& state, int virtualKey) {
  if (!state.messageText && virtualKey == kKeyShift) state.shiftDown = false;
}

Repaint onDoubleClick(AppState& state, unsigned x, unsigned y) {
  if (state.messageText) return Repaint::None;
  const PlotRect r = plotRectFor(state.clientWidth, state.clientHeight);
  DimScale& xScale = state.dims[state.xDim];
  DimScale& yScale = state.dims[state.yDim];
  const double scaleX = (r.right - r.left) / (xScale.maxValue - xScale.minValue);
  const double scaleY = (r.top - r.bottom) / (yScale.maxValue - yScale.minValue);
  const double valueX = (static_cast<int>(x) - r.left) / scaleX + xScale.minValue;
  const double valueY = (static_cast<int>(y) - r.bottom) / scaleY + yScale.minValue;
  recenterScale(xScale, valueX);
  recenterScale(yScale, valueY);
  refreshDimensionList(state);
  return Repaint::WholeArea;
}
