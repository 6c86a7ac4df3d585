#pragma once

#include <QString>
#include <functional>

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
// strategies and measurements. Progress is reported as a line of text.
void createDatabase(const QString& folder, bool withSample, SampleSize size,
                    const std::function<void(const QString&)>& progress = {});

} // namespace tools
