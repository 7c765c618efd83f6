// File-system helpers for GBK file names, the program directory and atomic replacement.
#pragma once

#include <sys/types.h>
#include <optional>
#include <string>
#include <string_view>

namespace velomaris {

// The UTF-8 name the file system knows for a GBK path; raises ETextConversionError when the
// name does not convert, so a file is never silently written under another name.
std::string OsPath(const std::string& gbkPath);

bool FileExists(const std::string& gbkPath);

// Replaces the file's content as one step: the bytes go to a temporary file in the same
// directory, are flushed to disk and renamed over the target, so a crash leaves either the
// old or the new content, never a mix. A new file gets newFileMode; an existing one keeps its
// mode. Raises EFCreateError "Cannot create file "%s". %s" on failure, leaving the old file.
void ReplaceFileAtomically(const std::string& gbkPath, std::string_view bytes,
                           mode_t newFileMode = 0644);

// The running executable's file as the system names it (the target of /proc/self/exe, UTF-8),
// whatever a test has overridden; std::nullopt with errno set when it cannot be read.
std::optional<std::string> RunningExecutableOsPath();

// The directory of the running executable, with a trailing "/", as ProgramNameForDirectory
// names it.
std::string ProgramDirectory();

// Points ProgramDirectory() somewhere else for as long as it lives (tests only: the program
// itself always works beside its executable).
class ScopedProgramDirectory {
public:
    explicit ScopedProgramDirectory(std::string gbkDirectoryWithSlash);
    ~ScopedProgramDirectory();
    ScopedProgramDirectory(const ScopedProgramDirectory&) = delete;
    ScopedProgramDirectory& operator=(const ScopedProgramDirectory&) = delete;

private:
    std::string previous_;
};

}  // namespace velomaris
