#pragma once

#include <QTest>

// The names of the two rows of a test that does one thing two ways.
struct SwitchRows {
    const char* whenTrue;
    const char* whenFalse;
};

// A test's one bool column `column`, a row for each of its values.
inline void addSwitch(const char* column, const SwitchRows& rows) {
    QTest::addColumn<bool>(column);
    QTest::newRow(rows.whenTrue) << true;
    QTest::newRow(rows.whenFalse) << false;
}
