// Entry point of the workspace tests (no widgets: QtCore only).
#include "tst_workspace.h"

#include <QTest>

QTEST_GUILESS_MAIN(quorvane::TestWorkspace)
