// The About box, laid out as the Windows dialog is: its size and each control's place are in
// dialog units, which follow the dialog font's average character width and line height.
#include "app/gtk_about.h"

namespace {

constexpr char kVersionLine[] = "Veloplot 0.2a1";
constexpr char kHelpHint[] = "Press 'h' in the main window to switch help on or off.";
constexpr int kLargeIconSize = 32;

struct DialogUnits {
  int baseX;
  int baseY;
};

// Measured as Windows measures a dialog font: half the rounded-up double of the average width
// of the 52 letters, and the height of one line.
DialogUnits dialogUnitsFor(GtkWidget* widget) {
  PangoLayout* layout = gtk_widget_create_pango_layout(
      widget, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  int width = 0;
  int height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  g_object_unref(layout);
  return {(width / 26 + 1) / 2, height};
}

int pixelsX(const DialogUnits& units, int x) {
  return (x * units.baseX + 2) / 4;
}
int pixelsY(const DialogUnits& units, int y) {
  return (y * units.baseY + 4) / 8;
}

void place(GtkWidget* fixed, GtkWidget* child, const DialogUnits& units, int x, int y, int width,
           int height) {
  gtk_widget_set_size_request(child, pixelsX(units, width), pixelsY(units, height));
  gtk_fixed_put(GTK_FIXED(fixed), child, pixelsX(units, x), pixelsY(units, y));
}

GtkWidget* staticText(const char* text) {
  GtkWidget* label = gtk_label_new(text);
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  gtk_label_set_yalign(GTK_LABEL(label), 0);
  return label;
}

// The theme's padding would make the button far taller than the 11 units it has.
void makeCompact(GtkWidget* button) {
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, "button { min-height: 0; min-width: 0; padding: 0 2px; }",
                                  -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(button), GTK_STYLE_PROVIDER(css),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
}

GdkPixbuf* pixbufFor(const EmbeddedIcon& icon) {
  GInputStream* stream =
      g_memory_input_stream_new_from_data(icon.png, static_cast<gssize>(icon.length), nullptr);
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_stream(stream, nullptr, nullptr);
  g_object_unref(stream);
  return pixbuf;
}

GtkWidget* largeIcon() {
  for (std::size_t i = 0; i < kProgramIconCount; ++i) {
    if (kProgramIcons[i].size != kLargeIconSize) continue;
    if (GdkPixbuf* pixbuf = pixbufFor(kProgramIcons[i])) {
      GtkWidget* image = gtk_image_new_from_pixbuf(pixbuf);
      g_object_unref(pixbuf);
      return image;
    }
  }
  return gtk_image_new();
}

gboolean onAboutKey(GtkWidget* dialog, GdkEventKey* event, gpointer) {
  if (event->keyval != GDK_KEY_Escape) return FALSE;
  gtk_widget_destroy(dialog);
  return TRUE;
}

// A dialog without a centring style opens at the top-left corner of its owner's client area.
void moveToClientOrigin(GtkWindow* dialog, GtkWidget* clientArea) {
  GdkWindow* client = gtk_widget_get_window(clientArea);
  if (!client) return;
  int x = 0;
  int y = 0;
  gdk_window_get_origin(client, &x, &y);
  gtk_window_move(dialog, x, y);
}

}  // namespace

GList* programIcons() {
  GList* icons = nullptr;
  for (std::size_t i = 0; i < kProgramIconCount; ++i) {
    if (GdkPixbuf* pixbuf = pixbufFor(kProgramIcons[i])) icons = g_list_append(icons, pixbuf);
  }
  return icons;
}

void runAboutBox(GtkWidget* clientArea) {
  GtkWidget* dialog = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* window = GTK_WINDOW(dialog);
  gtk_window_set_title(window, "About");
  gtk_window_set_transient_for(window, GTK_WINDOW(gtk_widget_get_toplevel(clientArea)));
  gtk_window_set_modal(window, TRUE);
  gtk_window_set_destroy_with_parent(window, TRUE);
  gtk_window_set_resizable(window, FALSE);
  gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
  gtk_window_set_skip_taskbar_hint(window, TRUE);

  const DialogUnits units = dialogUnitsFor(dialog);
  GtkWidget* fixed = gtk_fixed_new();
  gtk_widget_set_size_request(fixed, pixelsX(units, 230), pixelsY(units, 59));
  gtk_fixed_put(GTK_FIXED(fixed), largeIcon(), pixelsX(units, 14), pixelsY(units, 9));
  place(fixed, staticText(kVersionLine), units, 49, 10, 119, 8);
  GtkWidget* ok = gtk_button_new_with_label("OK");
  makeCompact(ok);
  place(fixed, ok, units, 195, 6, 30, 11);
  GtkWidget* hint = staticText(kHelpHint);
  // Four dialog units make an average character, so the text wraps where the Windows one does;
  // without a width in characters the label would take its height from a one-letter width.
  constexpr int kHintWidth = 176;
  gtk_label_set_line_wrap(GTK_LABEL(hint), TRUE);
  gtk_label_set_width_chars(GTK_LABEL(hint), kHintWidth / 4);
  gtk_label_set_max_width_chars(GTK_LABEL(hint), kHintWidth / 4);
  place(fixed, hint, units, 48, 30, kHintWidth, 14);
  gtk_container_add(GTK_CONTAINER(dialog), fixed);

  gtk_widget_set_can_default(ok, TRUE);
  gtk_window_set_default(window, ok);
  gtk_window_set_focus(window, ok);
  moveToClientOrigin(window, clientArea);

  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_signal_connect_swapped(dialog, "destroy", G_CALLBACK(g_main_loop_quit), loop);
  g_signal_connect_swapped(ok, "clicked", G_CALLBACK(gtk_widget_destroy), dialog);
  g_signal_connect(dialog, "key-press-event", G_CALLBACK(onAboutKey), nullptr);
  gtk_widget_show_all(dialog);
  g_main_loop_run(loop);
  g_main_loop_unref(loop);
}
