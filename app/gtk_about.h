// The GTK window's About box and the program's icon.
#pragma once

#include <gtk/gtk.h>

#include <cstddef>

// One size of the program's icon as PNG bytes, drawn at build time and compiled in, so that the
// program shows its icon wherever it runs from.
struct EmbeddedIcon {
  int size;
  const unsigned char* png;
  std::size_t length;
};
extern const EmbeddedIcon kProgramIcons[];
extern const std::size_t kProgramIconCount;

// Every size of the icon, for the window manager. The caller frees the list and its pixbufs.
GList* programIcons();

// The modal About box over the main window whose client area is given; returns when OK, Escape,
// Return or its close box ends it.
void runAboutBox(GtkWidget* clientArea);
