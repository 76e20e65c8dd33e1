#include "render/panel.h"

#include "render/number_text.h"

namespace {

void appendConstraint(std::string& out, const DimScale& scale) {
  switch (scale.mode) {
    case DimMode::XAxis:
      out += "- X axis";
      break;
    case DimMode::YAxis:
      out += "- Y axis";
      break;
    case DimMode::Band:
      out += "= ";
      appendNumber(out, scale.center);
      out += kPlusMinus;
      appendNumber(out, scale.tolerance);
      break;
    case DimMode::Multi:
      for (unsigned k = 0; k < scale.ticks.size(); ++k) {
        out += "\n     = ";
        appendNumber(out, scale.ticks[k]);
        out += kPlusMinus;
        appendNumber(out, scale.tolerance);
        out += " (";
        out += tickColorName(k);
        out += ")";
      }
      break;
    default:
      break;
  }
}

}  // namespace

std::string buildDimensionList(const std::vector<std::string>& names,
                               const std::vector<DimScale>& dims, unsigned selectedDim,
                               bool significantOnly) {
  std::string text;
  for (unsigned i = 0; i < names.size() && i < dims.size(); ++i) {
    const DimScale& scale = dims[i];
    if (significantOnly && scale.mode == DimMode::Free) continue;
    text += i == selectedDim ? "* " : "  ";
    text += names[i];
    text += ' ';
    appendConstraint(text, scale);
    text += '\n';
  }
  return text;
}

const std::string& refreshDimensionList(AppState& state) {
  state.panelText.reset();
  state.panelText =
      buildDimensionList(state.names, state.dims, state.selectedDim, state.significantOnly);
  return *state.panelText;
}

const char* tickColorName(unsigned k) {
  static const char* const kNames[] = {"red", "green", "black", "blue", "magenta"};
  return k < 5 ? kNames[k] : "black";
}
