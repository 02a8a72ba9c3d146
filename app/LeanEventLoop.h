#pragma once
// The application object of a monitor without a window, on Qt's own
// poll-based event loop instead of the GLib one that Qt picks by default on
// Linux. Nothing without widgets needs GLib's loop, and it costs more per
// wake-up: about twice the CPU of a bare timer wake-up here, and a wake-up
// of its own (its wake-up descriptor is signalled) whenever a socket
// notifier is switched on or off. A monitor wakes for every answer and
// every tick as long as it runs, so the headless monitor and bench_cycle
// start with this one.

#include <QCoreApplication>

#include <memory>

// Creates the application with the poll-based loop. QT_NO_GLIB is set only
// around the construction (Qt reads it there), so programs started later
// do not inherit it; a value the user set is kept.
std::unique_ptr<QCoreApplication> MakeLeanCoreApplication(int &argc, char **argv);
