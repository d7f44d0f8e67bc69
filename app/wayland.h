#pragma once

namespace tt {

// A Wayland client cannot place its own windows, yet the meter lives in a screen corner, snaps
// to the edges and is dragged by its skin. True when the session is Wayland, X (XWayland) is
// there too, and the user did not choose a Qt platform himself: then the program goes through X.
// The arguments are the values of WAYLAND_DISPLAY, DISPLAY and QT_QPA_PLATFORM, null when unset.
inline bool ShouldUseXWayland(const char* waylandDisplay, const char* display,
                              const char* qtPlatform) {
    const auto set = [](const char* value) { return value && *value; };
    return set(waylandDisplay) && set(display) && !set(qtPlatform);
}

}  // namespace tt
