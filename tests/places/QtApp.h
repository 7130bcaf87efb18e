#pragma once

#include <QApplication>

#include <gtest/gtest.h>
#include <memory>

// One application object for the whole test program, destroyed before the exit handlers run Qt's own teardown.
class PlacesQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_places";
        static char *argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

inline ::testing::Environment *const kPlacesQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new PlacesQtEnvironment);
