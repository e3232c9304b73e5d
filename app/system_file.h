// The few file operations that each system spells its own way, one source
// file per system (system_file_posix.cpp, system_file_windows.cpp), picked by
// app/CMakeLists.txt. Paths come as the program's narrow text, as they arrive
// on the command line and as fopen takes them: bytes on POSIX systems, the
// ANSI code page on Windows.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

// The same file as fopen would open under that name.
std::filesystem::path pathFromNarrow(const std::string& narrow);
// The name as fopen takes it; empty when the system's narrow text cannot
// spell it.
std::string narrowFromPath(const std::filesystem::path& path);

// Creates the file for binary writing, refusing (errno EEXIST) when a file
// of that name exists already. null with errno set on failure. The file may
// be removed while it is open (on Windows too: shared for deletion).
std::FILE* createNewFile(const std::string& narrow);

// Pushes what the stream has written (already flushed out of its buffer)
// from the system's cache to the disk. false with errno set on failure.
bool syncToDisk(std::FILE* stream);

// Starts moving what the stream has written so far (already flushed out of
// its buffer) from the system's cache to the disk, without waiting for it,
// so that a later syncToDisk waits for less. Where the system has no such
// call it does nothing; either way nothing is promised until syncToDisk.
void startSyncToDisk(std::FILE* stream);

// Which file a name or an open stream leads to, after following links:
// device and inode on POSIX systems, volume serial number and file index on
// Windows. Two names of one file (a link, a hard link, "./", another case
// on Windows) give the same identity.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    // Wine cannot tell the volume of a standard stream that it made from a
    // file of the host; the file index alone then decides.
    bool volumeKnown = true;
    bool regular = false;  // a plain file, not a device, pipe or folder
    bool operator==(const FileIdentity& other) const {
        return index == other.index && (volume == other.volume || !volumeKnown || !other.volumeKnown);
    }
};
// Nothing when there is no such file or it cannot be asked.
std::optional<FileIdentity> identifyFile(const std::string& narrow);
std::optional<FileIdentity> identifyStream(std::FILE* stream);

// Whether the stream is a terminal (on Windows, a console).
bool isTerminal(std::FILE* stream);

// Standard input or output carries the picture's bytes unchanged (on
// Windows the C runtime would otherwise translate line ends).
void setBinaryMode(std::FILE* stream);
