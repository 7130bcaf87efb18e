#pragma once

// One Qt application object for each test suite: made before its first test, gone after its last.

#include <gtest/gtest.h>

template <class App, class Base = testing::Test> class SuiteApplication : public Base {
protected:
    static void SetUpTestSuite() { app_ = new App(argc_, argv_); }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
    }

private:
    inline static int argc_ = 1;
    inline static char name_[] = "gabbler-test";
    inline static char *argv_[] = {name_, nullptr};
    inline static App *app_ = nullptr;
};
