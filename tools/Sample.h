#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace tools {

enum class SampleSize { Small, Large };

struct SampleCounts {
    int users;
    int goals;
    int strategiesPerGoal;
    int measuresPerStrategy;
};

// Creates a new database folder; with a sample size, fills it with departments, goal types,
// profiles, users with access lists, goals over several years (global ones among them),
// strategies and measurements. Progress is reported as a line of text. A scale above 1 makes
// that many times the goals (and with them the strategies and measurements) over the same users,
// to see how the screens grow with the data.
void createDatabase(const QString& folder, bool withSample, SampleSize size,
                    const std::function<void(const QString&)>& progress = {}, int scale = 1);

// The largest scale the sample is made at: 20 times the large sample is some 20 GB of files.
constexpr int kMaxSampleScale = 20;

// A scale as typed ("5"); nullopt unless it is a whole number from 1 to kMaxSampleScale.
std::optional<int> parseSampleScale(const QString& text);

} // namespace tools
