#pragma once

#include <QApplication>

#include <gtest/gtest.h>
#include <memory>

// One application object for the whole test program, gone before the program exits: Qt's own globals are torn
// down at exit and an application outliving them crashes there.
class QtAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_controls_widgets";
        static char *argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

inline ::testing::Environment *const kQtAppEnvironment = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);
