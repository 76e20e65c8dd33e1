// The Linux window, with GTK 3: the top-level window with its File and Help menus, the About
// box's accelerators, and a drawing area below the menu bar as the client area. Key presses,
// double-clicks and draws become the core's commands and paint; the core's drawing goes through
// the same cairo canvas that writes pictures, into an image that is then laid on the screen.
//
// A big file loads in slices from the main loop, one slice whenever the loop has nothing else to
// do, so that the window is there at once and answers moves, menus and closing meanwhile.
#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/gtk_about.h"
#include "app/load_progress.h"
#include "app/paint.h"
#include "app/render_options.h"
#include "app/startup.h"
#include "render/cairo_canvas.h"
#include "ui/commands.h"

namespace {

constexpr int kDefaultClientWidth = 1000;
constexpr int kDefaultClientHeight = 700;

struct MainWindow {
  AppState state;
  // While the data file loads, the state holds its title alone and no command may see it.
  StartUpLoad load;
  bool loading = false;
  guint loadSource = 0;
  gint64 loadStartMicros = 0;
  ProgressPacing pacing;
  // Input that arrives during the load, applied in order once the data is in, as the Windows
  // program's message queue keeps what is typed while it starts.
  std::vector<KeyEvent> pendingInput;
  GtkWidget* toplevel = nullptr;
  GtkWidget* client = nullptr;
  // Reused from paint to paint while the client size stays.
  cairo_surface_t* image = nullptr;
  bool tracePaint = false;
  gint64 startMicros = 0;
};

// The virtual keys the commands know; 0 for every other key.
int virtualKeyFor(guint keyval) {
  switch (keyval) {
    case GDK_KEY_Shift_L:
    case GDK_KEY_Shift_R:
      return kKeyShift;
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up:
      return kKeyPageUp;
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down:
      return kKeyPageDown;
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
      return kKeyLeft;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
      return kKeyUp;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
      return kKeyRight;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
      return kKeyDown;
    default:
      return 0;
  }
}

void requestRepaint(const MainWindow& window, Repaint repaint) {
  if (repaint == Repaint::WholeArea) {
    gtk_widget_queue_draw(window.client);
  } else if (repaint == Repaint::PanelStrip) {
    gtk_widget_queue_draw_area(window.client, 0, 0, kPanelStripRight,
                               gtk_widget_get_allocated_height(window.client));
  }
}

void handleInput(MainWindow& window, const KeyEvent& event) {
  if (window.loading) {
    window.pendingInput.push_back(event);
  } else {
    requestRepaint(window, applyEvent(window.state, event));
  }
}

gboolean onKeyPress(GtkWidget*, GdkEventKey* event, MainWindow* window) {
  const guint32 character = gdk_keyval_to_unicode(event->keyval);
  if (event->state & GDK_MOD1_MASK) {
    // Alt + a character is the menu's business: mnemonics, and the About box's accelerators.
    if (character == '?' || character == '/') {
      runAboutBox(window->client);
      return TRUE;
    }
    return FALSE;
  }
  const int virtualKey = virtualKeyFor(event->keyval);
  if (virtualKey != 0) handleInput(*window, {KeyEvent::Kind::KeyDown, virtualKey});
  // Control turns a letter into a control code, which no command knows; only lower-case letters
  // act, so characters beyond 8 bits need no code page either.
  const bool sendsCharacter =
      !(event->state & GDK_CONTROL_MASK) && character > 0 && character <= 0xFF;
  if (sendsCharacter) {
    handleInput(*window, {KeyEvent::Kind::Character, static_cast<int>(character)});
  }
  // Keys that reach no command stay with GTK, so that F10 still opens the menu.
  return virtualKey != 0 || sendsCharacter;
}

gboolean onKeyRelease(GtkWidget*, GdkEventKey* event, MainWindow* window) {
  const int virtualKey = virtualKeyFor(event->keyval);
  if (virtualKey == 0) return FALSE;
  handleInput(*window, {KeyEvent::Kind::KeyUp, virtualKey});
  return TRUE;
}

unsigned messageCoordinate(double pixels) {
  return static_cast<unsigned>(std::clamp(std::floor(pixels), 0.0, 65535.0));
}

gboolean onButtonPress(GtkWidget*, GdkEventButton* event, MainWindow* window) {
  if (event->type != GDK_2BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY) return FALSE;
  handleInput(*window, {KeyEvent::Kind::DoubleClick, 0, messageCoordinate(event->x),
                        messageCoordinate(event->y)});
  return TRUE;
}

cairo_surface_t* clientImage(MainWindow& window, int width, int height) {
  if (window.image && cairo_image_surface_get_width(window.image) == width &&
      cairo_image_surface_get_height(window.image) == height) {
    return window.image;
  }
  if (window.image) cairo_surface_destroy(window.image);
  window.image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  return window.image;
}

// The whole client area is drawn into the image, as a fresh paint would; only the part inside
// the clip reaches the screen, so what lies outside stays as it was, as on Windows.
gboolean onDraw(GtkWidget* widget, cairo_t* cr, MainWindow* window) {
  const gint64 begin = g_get_monotonic_time();
  const int width = std::max(1, gtk_widget_get_allocated_width(widget));
  const int height = std::max(1, gtk_widget_get_allocated_height(widget));
  double clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
  cairo_clip_extents(cr, &clipLeft, &clipTop, &clipRight, &clipBottom);
  const int repaintRight = static_cast<int>(std::ceil(clipRight));

  cairo_surface_t* image = clientImage(*window, width, height);
  if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) return FALSE;
  cairo_t* imageCr = cairo_create(image);
  cairo_set_source_rgb(imageCr, 1, 1, 1);
  cairo_paint(imageCr);
  cairo_destroy(imageCr);
  const bool progress = window->loading && progressShown(window->pacing);
  const double share = loadedShare(window->load);
  {
    CairoCanvas canvas(image);
    if (progress) {
      paintLoadProgress(canvas, width, height, share);
    } else if (!window->loading) {
      paintClientArea(window->state, canvas, width, height, repaintRight);
    }
  }
  cairo_surface_flush(image);
  cairo_set_source_surface(cr, image, 0, 0);
  cairo_paint(cr);

  if (window->tracePaint && progress) {
    std::fprintf(stderr, "veloplot: progress %dx%d: %s, drawn %.3f ms after start\n", width, height,
                 progressText(share).c_str(),
                 (g_get_monotonic_time() - window->startMicros) / 1000.0);
  } else if (window->tracePaint && !window->loading) {
    const gint64 end = g_get_monotonic_time();
    std::fprintf(stderr, "veloplot: paint %dx%d right %d: %.3f ms, %.3f ms after start\n", width,
                 height, repaintRight, (end - begin) / 1000.0,
                 (end - window->startMicros) / 1000.0);
  }
  return TRUE;
}

void traceStartUpDone(const MainWindow& window) {
  if (window.tracePaint) {
    std::fprintf(stderr, "veloplot: start-up done %.3f ms after start\n",
                 (g_get_monotonic_time() - window.startMicros) / 1000.0);
  }
}

void finishLoading(MainWindow& window) {
  window.loading = false;
  traceStartUpDone(window);
  // The commands read the client size that a paint remembers; the input of the load meets the
  // size the window has now, as it would have after a paint.
  window.state.clientWidth = std::max(1, gtk_widget_get_allocated_width(window.client));
  window.state.clientHeight = std::max(1, gtk_widget_get_allocated_height(window.client));
  replayEvents(window.state, window.pendingInput);
  window.pendingInput = {};
  gtk_widget_queue_draw(window.client);
}

gboolean onLoadSlice(MainWindow* window) {
  if (continueStartUp(window->state, window->load, kLoadSliceBytes)) {
    window->loadSource = 0;
    finishLoading(*window);
    return G_SOURCE_REMOVE;
  }
  const double elapsed = (g_get_monotonic_time() - window->loadStartMicros) / 1e6;
  if (progressDue(window->pacing, elapsed)) gtk_widget_queue_draw(window->client);
  return G_SOURCE_CONTINUE;
}

// Closing ends the program at once, a load under way too.
void onDestroy(GtkWidget*, MainWindow* window) {
  if (window->loadSource != 0) g_source_remove(window->loadSource);
  window->loadSource = 0;
  gtk_main_quit();
}

void onExit(GtkMenuItem*, MainWindow* window) {
  gtk_widget_destroy(window->toplevel);
}

void onAbout(GtkMenuItem*, MainWindow* window) {
  runAboutBox(window->client);
}

GtkWidget* addMenu(GtkWidget* menuBar, const char* label) {
  GtkWidget* item = gtk_menu_item_new_with_mnemonic(label);
  GtkWidget* menu = gtk_menu_new();
  gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), menu);
  gtk_menu_shell_append(GTK_MENU_SHELL(menuBar), item);
  return menu;
}

void addMenuItem(GtkWidget* menu, const char* label, GCallback activate, MainWindow* window) {
  GtkWidget* item = gtk_menu_item_new_with_mnemonic(label);
  g_signal_connect(item, "activate", activate, window);
  gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
}

GtkWidget* buildMenuBar(MainWindow& window) {
  GtkWidget* menuBar = gtk_menu_bar_new();
  addMenuItem(addMenu(menuBar, "_File"), "E_xit", G_CALLBACK(onExit), &window);
  addMenuItem(addMenu(menuBar, "_Help"), "_About ...", G_CALLBACK(onAbout), &window);
  return menuBar;
}

// Window titles are UTF-8; a file name in another encoding must not lose the whole title.
std::string displayTitle(const std::string& title) {
  gchar* valid = g_utf8_make_valid(title.c_str(), static_cast<gssize>(title.size()));
  std::string result = valid;
  g_free(valid);
  return result;
}

// The default client size, made smaller only where the screen's work area cannot hold it.
void setDefaultSize(GtkWindow* toplevel, GtkWidget* menuBar) {
  int menuHeight = 0;
  gtk_widget_get_preferred_height(menuBar, nullptr, &menuHeight);
  int width = kDefaultClientWidth;
  int height = kDefaultClientHeight;
  GdkDisplay* display = gdk_display_get_default();
  if (GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr) {
    GdkRectangle area{};
    gdk_monitor_get_workarea(monitor, &area);
    constexpr int kFrameAllowance = 64;
    width = std::min(width, area.width - kFrameAllowance);
    height = std::min(height, area.height - menuHeight - kFrameAllowance);
  }
  gtk_window_set_default_size(toplevel, std::max(width, 1), std::max(height, 1) + menuHeight);
}

void buildMainWindow(MainWindow& window) {
  window.toplevel = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* toplevel = GTK_WINDOW(window.toplevel);
  gtk_window_set_title(toplevel, displayTitle(window.state.titleText).c_str());
  GList* icons = programIcons();
  gtk_window_set_icon_list(toplevel, icons);
  g_list_free_full(icons, g_object_unref);

  GtkWidget* menuBar = buildMenuBar(window);
  window.client = gtk_drawing_area_new();
  gtk_widget_add_events(window.client, GDK_BUTTON_PRESS_MASK);
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_box_pack_start(GTK_BOX(box), menuBar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), window.client, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(toplevel), box);
  // A hidden menu bar asks for no height at all.
  gtk_widget_show_all(box);
  setDefaultSize(toplevel, menuBar);

  g_signal_connect(window.toplevel, "destroy", G_CALLBACK(onDestroy), &window);
  g_signal_connect(window.toplevel, "key-press-event", G_CALLBACK(onKeyPress), &window);
  g_signal_connect(window.toplevel, "key-release-event", G_CALLBACK(onKeyRelease), &window);
  g_signal_connect(window.client, "button-press-event", G_CALLBACK(onButtonPress), &window);
  g_signal_connect(window.client, "draw", G_CALLBACK(onDraw), &window);
}

}  // namespace

int main(int argc, char** argv) {
  MainWindow window;
  window.startMicros = g_get_monotonic_time();
  // The end-to-end tests and the first-paint benchmark follow the paints by these lines.
  window.tracePaint = std::getenv("VELOPLOT_TRACE_PAINT") != nullptr;
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr,
                 "veloplot: cannot open a display; without one, veloplot-render -o out.png FILE "
                 "draws the window's picture\n");
    return 1;
  }
  // The shell has split the words already, so a file name with blanks arrives whole. A file
  // that one slice reads whole is in before the window shows, as it always was.
  window.loadStartMicros = g_get_monotonic_time();
  window.loading =
      !beginStartUp(window.state, window.load, std::vector<std::string>(argv + 1, argv + argc)) &&
      !continueStartUp(window.state, window.load, kLoadSliceBytes);
  if (!window.loading) traceStartUpDone(window);
  buildMainWindow(window);
  if (window.loading) {
    window.loadSource = g_idle_add(G_SOURCE_FUNC(onLoadSlice), &window);
  }
  gtk_widget_show(window.toplevel);
  gtk_main();
  if (window.image) cairo_surface_destroy(window.image);
  return 0;
}
