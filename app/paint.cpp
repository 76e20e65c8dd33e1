#include "app/paint.h"

#include "app/help_text.h"
#include "render/plot.h"
#include "ui/commands.h"

std::string_view windowText(const AppState& state) {
  if (state.helpVisible) return kHelpText;
  if (state.messageText) return *state.messageText;
  if (state.panelText) return *state.panelText;
  return {};
}

void paintClientArea(AppState& state, Canvas& canvas, int clientWidth, int clientHeight,
                     int repaintRight) {
  state.clientWidth = clientWidth;
  state.clientHeight = clientHeight;
  canvas.drawTextBlock(clientWidth, clientHeight, windowText(state));
  // A repaint of the panel strip alone leaves the plot as it is.
  if (state.helpVisible || state.messageText || repaintRight <= kPanelStripRight) return;
  drawFrameAndGrid(canvas, clientWidth, clientHeight, state.dims, state.xDim, state.yDim);
  plotPoints(canvas, clientWidth, clientHeight, state.columns, state.blockRanges, state.dims,
             state.xDim, state.yDim);
}
