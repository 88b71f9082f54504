#pragma once

#include "platform/xml/xml_document.h"

#include <QtTest>

// Like QTEST_MAIN, with the XML library prepared as the programs prepare it.
#define KVX_TEST_MAIN(TestClass)                                                                   \
    int main(int argc, char** argv) {                                                              \
        QApplication app(argc, argv);                                                              \
        kvx::XmlDocument::initializeLibrary();                                                     \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

#define KVX_TEST_MAIN_CORE(TestClass)                                                              \
    int main(int argc, char** argv) {                                                              \
        QCoreApplication app(argc, argv);                                                          \
        kvx::XmlDocument::initializeLibrary();                                                     \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
