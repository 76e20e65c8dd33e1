#include "app/state_json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

const char* modeName(DimMode mode) {
  switch (mode) {
    case DimMode::XAxis:
      return "XAxis";
    case DimMode::YAxis:
      return "YAxis";
    case DimMode::Free:
      return "Free";
    case DimMode::Band:
      return "Band";
    case DimMode::Multi:
      return "Multi";
  }
  return "Free";
}

void appendString(std::string& out, const std::string& text) {
  out += '"';
  for (unsigned char byte : text) {
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte < 0x20 || byte > 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    } else {
      out += static_cast<char>(byte);
    }
  }
  out += '"';
}

void appendDouble(std::string& out, double value) {
  // JSON has no infinity or NaN; the scales never hold one, but a reader must still get JSON.
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void appendField(std::string& out, const char* name) {
  out += '"';
  out += name;
  out += "\": ";
}

void appendInt(std::string& out, const char* name, long long value) {
  appendField(out, name);
  out += std::to_string(value);
  out += ", ";
}

void appendBool(std::string& out, const char* name, bool value) {
  appendField(out, name);
  out += value ? "true, " : "false, ";
}

void appendNumberField(std::string& out, const char* name, double value) {
  appendField(out, name);
  appendDouble(out, value);
  out += ", ";
}

void appendDim(std::string& out, const std::string& name, const DimScale& scale) {
  out += "{";
  appendField(out, "name");
  appendString(out, name);
  out += ", ";
  appendField(out, "mode");
  appendString(out, modeName(scale.mode));
  out += ", ";
  appendInt(out, "exponent", scale.exponent);
  appendInt(out, "widthFactor", scale.widthFactor);
  appendInt(out, "centerUnits", scale.centerUnits);
  appendInt(out, "toleranceUnits", scale.toleranceUnits);
  appendNumberField(out, "center", scale.center);
  appendNumberField(out, "tolerance", scale.tolerance);
  appendNumberField(out, "minValue", scale.minValue);
  appendNumberField(out, "maxValue", scale.maxValue);
  appendField(out, "ticks");
  out += "[";
  for (std::size_t k = 0; k < scale.ticks.size(); ++k) {
    if (k) out += ", ";
    appendDouble(out, scale.ticks[k]);
  }
  out += "]}";
}

}  // namespace

std::string stateToJson(const AppState& state) {
  const bool loaded = !state.messageText;
  std::string out = "{";
  appendField(out, "message");
  if (state.messageText) {
    appendString(out, *state.messageText);
  } else {
    out += "null";
  }
  out += ", ";
  appendBool(out, "helpVisible", state.helpVisible);
  appendBool(out, "significantOnly", state.significantOnly);
  appendBool(out, "shiftDown", state.shiftDown);
  appendInt(out, "selectedDim", state.selectedDim);
  appendInt(out, "xDim", state.xDim);
  appendInt(out, "yDim", state.yDim);
  appendInt(out, "nearValuesDim", state.nearValuesDim);
  appendInt(out, "rows", loaded ? static_cast<long long>(rowCount(state)) : 0);
  appendField(out, "dims");
  out += "[";
  for (std::size_t i = 0; loaded && i < state.dims.size(); ++i) {
    if (i) out += ", ";
    appendDim(out, i < state.names.size() ? state.names[i] : std::string(), state.dims[i]);
  }
  out += "]}";
  return out;
}
