#pragma once

#include <QApplication>

// One application object for the whole test program, made by the first test that needs it.
inline void EnsureQtApp() {
    static int argc = 1;
    static char name[] = "test_controls_widgets";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}
