// SPDX-License-Identifier: MIT
#include "TestMain.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtGlobal>

#ifdef BRANDLE_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <cstring>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

static std::vector<std::pair<const char*, TestFactory>>& registry()
{
    static std::vector<std::pair<const char*, TestFactory>> tests;
    return tests;
}

int registerTest(const char* name, TestFactory factory)
{
    registry().emplace_back(name, std::move(factory));
    return int(registry().size());
}

int main(int argc, char* argv[])
{
    // Before anything reads them: the store and the program's folder live in a temporary folder.
    QTemporaryDir sandbox;
    if (!sandbox.isValid())
        qFatal("cannot create a temporary folder");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(sandbox.filePath(u"config"_s)));
    qputenv("XDG_DATA_HOME", QFile::encodeName(sandbox.filePath(u"data"_s)));
    qputenv("BRANDLE_HOME", QFile::encodeName(sandbox.filePath(u"home"_s)));
#ifdef BRANDLE_TEST_GUI
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // Qt WebEngine needs it
#endif
    TestApplication app(argc, argv);

    // A first argument naming a registered class runs that class only.
    std::vector<char*> args(argv, argv + argc);
    const char* only = nullptr;
    for (const auto& test : registry())
        only = argc > 1 && std::strcmp(test.first, argv[1]) == 0 ? test.first : only;
    if (only)
        args.erase(args.begin() + 1);
    int failures = 0;
    for (const auto& [name, factory] : registry()) {
        if (!only || name == only)
            failures += QTest::qExec(factory().get(), int(args.size()), args.data());
    }
    return failures == 0 ? 0 : 1;
}
