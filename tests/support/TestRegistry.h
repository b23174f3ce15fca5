#pragma once

#include <QObject>

#include <functional>
#include <memory>

// Several QtTest classes in one test program: each class registers itself with
// QUILLORY_REGISTER_TEST(Class), and the program's main() hands its arguments to
// RunRegisteredTests():
//   tst_app                          every class in turn
//   tst_app TestMainWindow [args]    that class alone, with QtTest's usual arguments
//   tst_app [options] function...    the named functions, each in the classes that have it; the
//                                    classes that have none of them are left out
// CTest runs each class as an entry of its own, so `ctest -j` runs them side by side.

using TestFactory = std::function<std::unique_ptr<QObject>()>;

int RegisterTest(const QMetaObject* metaObject, TestFactory factory);
// The status is non-zero when any test failed or an argument names nothing that is there.
int RunRegisteredTests(int argc, char** argv);

#define QUILLORY_REGISTER_TEST(Class)                                                                        \
    static const int registered##Class =                                                                     \
        RegisterTest(&Class::staticMetaObject, [] { return std::make_unique<Class>(); })
