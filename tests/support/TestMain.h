// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <functional>
#include <memory>

// Test classes register themselves with BRANDLE_TEST(Class); the shared main runs them all in a
// process whose settings store and program folder are fresh temporary folders. Give a class
// name as first argument to run that class only (the other arguments go to Qt Test).
using TestFactory = std::function<std::unique_ptr<QObject>()>;
int registerTest(const char* name, TestFactory factory);

#define BRANDLE_TEST(Class)                                                                        \
    static const int brandleTestRegistration_##Class =                                             \
        registerTest(#Class, [] { return std::make_unique<Class>(); });
