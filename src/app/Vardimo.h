#pragma once

#include <QStringList>
#include <functional>
#include <optional>

// What the start-up asks of its surroundings; tests replace parts of it.
struct StartupHooks {
    // The engine's version; by default the engine session's answer.
    std::function<std::optional<int>()> engineVersion;
    // Runs the main window's message loop; by default the application's.
    std::function<int()> runLoop;
};

// The program body: the start-up sequence, then the main window's message loop. Returns the
// process's exit status: 0 after a normal end, non-zero when start-up could not complete.
int ProgramBody(const QStringList& arguments, const StartupHooks& hooks = {});

// Destroys the windows and the data module of a run, as at the end of the process.
void ProgramEnd();

// Whether "Vardimo.hlp" exists; set by the first step of the start-up.
extern bool HelpFileExists;
