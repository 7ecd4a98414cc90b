#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "files/page_history.h"

// QTEST_GUILESS_MAIN for tests of files on disk: every write a test makes is
// recorded in a history folder of its own, never in the user's data.
#define QV_CORE_TEST_MAIN(TestClass)                                                        \
  int main(int argc, char* argv[]) {                                                        \
    QCoreApplication app(argc, argv);                                                       \
    QTemporaryDir historyRoot;                                                              \
    /* Open to all: a test acting as another user (WriteDenied) still keeps its history. */ \
    QFile::setPermissions(historyRoot.path(), QFileDevice::Permissions(0x7777));            \
    history::setRoot(historyRoot.path());                                                   \
    TestClass test;                                                                         \
    return QTest::qExec(&test, argc, argv);                                                 \
  }
