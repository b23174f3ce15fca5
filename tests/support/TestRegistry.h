#pragma once

#include <QObject>

#include <functional>
#include <memory>

// Several QtTest classes in one test program: each class registers itself with
// QUILLORY_REGISTER_TEST(Class) and the program's main() runs them all in turn.

using TestFactory = std::function<std::unique_ptr<QObject>()>;

int RegisterTest(TestFactory factory);
// Runs every registered class; the status is non-zero when any test failed.
int RunRegisteredTests(int argc, char** argv);

#define QUILLORY_REGISTER_TEST(Class)                                                                        \
    static const int registered##Class = RegisterTest([] { return std::make_unique<Class>(); })
