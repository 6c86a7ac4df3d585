#pragma once

#include <QRandomGenerator>
#include <QString>
#include <gtest/gtest.h>
#include <iostream>
#include <string>

namespace testing_support {

// The seed of a test's random choices: VARDIMO_TEST_SEED when set, else a fresh one. Printed,
// so that a failure can be replayed with the same choices.
inline quint32 testSeed() {
    bool ok = false;
    quint32 seed = qEnvironmentVariable("VARDIMO_TEST_SEED").toUInt(&ok);
    if (!ok) seed = QRandomGenerator::system()->generate();
    std::cout << "random seed " << seed << " (VARDIMO_TEST_SEED=" << seed << " repeats it)" << std::endl;
    ::testing::Test::RecordProperty("seed", std::to_string(seed));
    return seed;
}

} // namespace testing_support
