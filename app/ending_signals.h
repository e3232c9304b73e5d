// What the batch converter does when it is told to stop while its output's
// temporary file exists: the file is removed, then the program ends as the
// request would have ended it; and, for both programs, what a write to a
// reader that has gone does. One source file per system
// (ending_signals_posix.cpp, ending_signals_windows.cpp), picked by
// app/CMakeLists.txt.
//
// POSIX: SIGINT, SIGTERM and SIGHUP remove the file, then end the program
// with that signal (the default action, raised again), so the exit status
// says what ended it. A signal that was ignored when the program started
// (nohup) stays ignored. SIGPIPE is ignored: a standard output or a pipe
// whose reader has gone makes the write fail (EPIPE), which the program
// reports like any failed write, instead of ending it unannounced.
// Windows: Ctrl+C, Ctrl+Break and closing the console remove the file, then
// the system's own handling ends the program.
#pragma once

#include <functional>
#include <string>

// Once, before the temporary file is made. Includes failWritesToClosedPipes().
void handleEndingSignals();

// POSIX: SIGPIPE is ignored, so that a write to a pipe or a socket whose
// other end has gone fails (EPIPE) instead of ending the program. Windows
// has no such signal: a write there fails in the same way already.
void failWritesToClosedPipes();

// Runs `work` with the ending signals held back (on Windows, with the
// handler kept waiting), so that none comes between making the temporary
// file and naming it below, or between renaming it and forgetting the name.
void holdingEndingSignals(const std::function<void()>& work);

// The file that an ending signal removes, one at a time. The name is copied
// now into storage of its own, since the handler may not allocate; false,
// and nothing named, when it is longer than any path the system takes.
bool removeOnEndingSignal(const std::string& path);
// Nothing to remove any more: the file was renamed or removed.
void removeNothingOnEndingSignal();
