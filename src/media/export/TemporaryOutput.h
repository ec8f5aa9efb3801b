#pragma once

// The file an export writes until it is complete.
//
// Opening the target for writing would destroy a file the user chose to
// overwrite before the export has produced anything. The export writes to
// a hidden file in the target's folder instead, keeping the extension (the
// container is chosen from it), and moves it over the target in one step
// (rename(2)) only when the file is complete; when the user did not choose
// to overwrite, that move never replaces a file that appeared meanwhile. A failed or cancelled export
// leaves the target as it was and removes the temporary.

#include <string>

// "<folder>/.<name>.pictora-<tag>.<ext>" for the target "<folder>/<name>.<ext>";
// the name part is shortened when the result would exceed the file-name
// limit of the file system.
std::string temporaryOutputName(const std::string &szTarget, const std::string &szTag);

class TemporaryOutput
{
public:
    TemporaryOutput() = default;
    TemporaryOutput(const TemporaryOutput &) = delete;
    TemporaryOutput &operator=(const TemporaryOutput &) = delete;
    TemporaryOutput(TemporaryOutput &&other) noexcept;
    // Removes this object's own temporary before taking over the other's.
    TemporaryOutput &operator=(TemporaryOutput &&other) noexcept;
    // Removes the temporary unless it was committed.
    ~TemporaryOutput();

    // Creates a new, empty temporary for szTarget (UTF-8), with the
    // permissions a newly created file gets. 0 or a negative AVERROR code.
    int create(const std::string &szTarget);

    // Path of the temporary; empty before create and after commit or discard.
    const std::string &path() const { return m_szPath; }
    const std::string &target() const { return m_szTarget; }

    // Writes the temporary's data to disk and renames it to the target.
    // With bReplace a file there is replaced; without, an entry there is
    // kept and the result is AVERROR(EEXIST). On failure the temporary is
    // removed. 0 or a negative AVERROR code.
    int commit(bool bReplace = true);

    // Removes the temporary; nothing when there is none.
    void discard();

private:
    std::string m_szTarget;
    std::string m_szPath;
};
