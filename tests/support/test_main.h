#pragma once

#include <QApplication>
#include <QTest>

#include "components/engine_environment.h"

// QTEST_MAIN for tests that may start the browser engine.
#define QV_TEST_MAIN(TestClass)                                                                  \
  int main(int argc, char* argv[]) {                                                             \
    prepareEngineEnvironment();                                                                  \
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen"); \
    QApplication app(argc, argv);                                                                \
    routeEngineThroughProxy();                                                                   \
    TestClass test;                                                                              \
    return QTest::qExec(&test, argc, argv);                                                      \
  }
