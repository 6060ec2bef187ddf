// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <functional>
#include <memory>

// BRANDLE_TEST(Class) registers a class; main runs all (or the one named first) in a sandbox.
using TestFactory = std::function<std::unique_ptr<QObject>()>;
int registerTest(const char* name, TestFactory factory);

#define BRANDLE_TEST(Class)                                                                        \
    static const int brandleTestRegistration_##Class =                                             \
        registerTest(#Class, [] { return std::make_unique<Class>(); });
