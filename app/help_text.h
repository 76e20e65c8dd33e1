// The help text that 'h' shows in place of the window's content.
#pragma once

inline constexpr char kHelpText[] =
    "\n"
    " Veloplot - very simple program for plotting and analysis of multidimensional numeric data\n"
    "\n"
    " Executing (command line): Veloplot.exe <file name>\n"
    "\n"
    " Input file must be a csv (comma-separated values) file with numeric data and text headers "
    "in its first line.\n"
    "\n"
    " Keybord commands (when data is loaded):\n"
    " - Page Down / Page Up - select next / previous dimension (marked by *),\n"
    " - d - show all / significant dimensions,\n"
    " - x / y - map the selected dimension to X (horizontal) / Y (vertical) axis,\n"
    " - c - constrain plotted data so that values in the selected dimension are within its "
    "center + - tolerance,\n"
    " - m - constrain plotted data so that values in the selected dimension are near 5 values "
    "spread throughout its range,\n"
    " - a - remove data constraint based on values in the selected dimension,\n"
    " - Up / Down - increase / decrease range of the selected dimension,\n"
    " - Left / Right - decrease / increase center of the selected dimension,\n"
    " - Shift + Up / Shift + Down - increase / decrease tolerance of the selected dimension,\n"
    " - left mouse button double-click - center the graph near the point clicked.\n";
