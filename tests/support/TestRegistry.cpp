#include "support/TestRegistry.h"

#include <QtTest>

#include <vector>

namespace {

std::vector<TestFactory>& factories()
{
    static std::vector<TestFactory> registered;
    return registered;
}

} // namespace

int RegisterTest(TestFactory factory)
{
    factories().push_back(std::move(factory));
    return int(factories().size());
}

int RunRegisteredTests(int argc, char** argv)
{
    int status = 0;
    for (const TestFactory& factory : factories()) {
        const std::unique_ptr<QObject> test = factory();
        status |= QTest::qExec(test.get(), argc, argv);
    }
    return status;
}
