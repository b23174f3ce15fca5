#include "support/TestRegistry.h"

#include <QMetaMethod>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct RegisteredTest {
    const QMetaObject* metaObject;
    TestFactory factory;
};

std::vector<RegisteredTest>& registry()
{
    static std::vector<RegisteredTest> registered;
    return registered;
}

// QtTest's options that take the next argument as their value.
bool TakesValue(std::string_view option)
{
    static constexpr std::string_view withValue[] = {
        "-o",           "-eventdelay",  "-keydelay",     "-mousedelay",
        "-maxwarnings", "-perfcounter", "-minimumvalue", "-minimumtotal",
        "-iterations",  "-median",      "-repeat",       "-seed"};
    for (std::string_view name : withValue) {
        if (option == name)
            return true;
    }
    return false;
}

// "name" or "name:data tag" -> name.
std::string_view FunctionName(std::string_view argument)
{
    return argument.substr(0, argument.find(':'));
}

// A test function in QtTest's sense: a private slot without parameters.
bool HasTestFunction(const QMetaObject* metaObject, std::string_view name)
{
    for (int i = QObject::staticMetaObject.methodCount(); i < metaObject->methodCount(); ++i) {
        const QMetaMethod method = metaObject->method(i);
        if (method.methodType() == QMetaMethod::Slot && method.access() == QMetaMethod::Private &&
            method.parameterCount() == 0 && std::string_view(method.name().constData()) == name)
            return true;
    }
    return false;
}

// Each run gets copies of its arguments, so nothing QtTest does to them reaches the next class.
int Run(const RegisteredTest& test, const std::vector<char*>& arguments)
{
    std::vector<std::string> copies(arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& copy : copies)
        argv.push_back(copy.data());
    const std::unique_ptr<QObject> object = test.factory();
    return QTest::qExec(object.get(), int(argv.size()), argv.data());
}

} // namespace

int RegisterTest(const QMetaObject* metaObject, TestFactory factory)
{
    registry().push_back({metaObject, std::move(factory)});
    return int(registry().size());
}

int RunRegisteredTests(int argc, char** argv)
{
    // The first argument may name a class: that class runs alone, with the rest of the arguments.
    if (argc > 1) {
        for (const RegisteredTest& test : registry()) {
            if (std::strcmp(argv[1], test.metaObject->className()) == 0) {
                std::vector<char*> arguments{argv[0]};
                arguments.insert(arguments.end(), argv + 2, argv + argc);
                return Run(test, arguments);
            }
        }
    }

    // Otherwise the options go to every class, and each class gets the named functions it has.
    std::vector<char*> options{argv[0]};
    std::vector<char*> functions;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') {
            options.push_back(argv[i]);
            if (TakesValue(argv[i]) && i + 1 < argc)
                options.push_back(argv[++i]);
        } else {
            functions.push_back(argv[i]);
        }
    }

    int status = 0;
    std::vector<bool> found(functions.size(), false);
    for (const RegisteredTest& test : registry()) {
        std::vector<char*> arguments = options;
        for (std::size_t f = 0; f < functions.size(); ++f) {
            if (HasTestFunction(test.metaObject, FunctionName(functions[f]))) {
                arguments.push_back(functions[f]);
                found[f] = true;
            }
        }
        if (!functions.empty() && arguments.size() == options.size())
            continue;
        status |= Run(test, arguments);
    }
    for (std::size_t f = 0; f < functions.size(); ++f) {
        if (!found[f]) {
            std::fprintf(stderr, "Unknown test function: '%s': no test class here has it.\n", functions[f]);
            status |= 1;
        }
    }
    return status;
}
