// A temporary directory for tests that need files.
#pragma once

#include <string>

namespace velomaris {

// A fresh directory under the system's temporary directory, removed with everything in it
// when the object goes, also entries a test left read-only.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The directory with a trailing "/", as ProgramDirectory() gives it.
    const std::string& Path() const { return path_; }
    // The directory without the trailing "/", as HOME or PATH hold one.
    std::string Directory() const { return path_.substr(0, path_.size() - 1); }
    std::string File(const std::string& name) const { return path_ + name; }
    void Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;

private:
    std::string path_;
};

}  // namespace velomaris
