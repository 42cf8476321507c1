#pragma once

#include <QTest>

// Several QtTest classes in one program, each still run in a process of its own: `program Suite
// [QtTest options]` runs Suite as QTEST_MAIN would have run it alone. One program is generated,
// compiled and linked once where a program per class took each step again.
namespace QtTestSuites {
using Run = int (*)(int argc, char* argv[]);
bool add(const char* name, Run run);
}

// In place of QTEST_MAIN(TestObject).
#define NEMUROA_QTEST_SUITE(TestObject)                                                                                \
    namespace {                                                                                                          \
    const bool TestObject##Added = QtTestSuites::add(#TestObject, [](int argc, char* argv[]) -> int {                 \
        QT_PREPEND_NAMESPACE(QTest::Internal::callInitMain)<TestObject>();                                               \
        QTEST_MAIN_SETUP()                                                                                               \
        TestObject tc;                                                                                                   \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                       \
        return QTest::qExec(&tc, argc, argv);                                                                            \
    });                                                                                                                  \
    }
