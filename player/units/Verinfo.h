// The file version of a program file as four numbers, read from its version
// block (platform/version). -1 four times when the file has none.
#pragma once

#include <QString>

#include <cstdint>

class CVerInfo {
public:
    // Keeps its own copy of the name and reads the version at once.
    explicit CVerInfo(const QString& fileName);

    std::int32_t GetMajor() const { return major_; }
    std::int32_t GetMinor() const { return minor_; }
    std::int32_t GetRelease() const { return release_; }
    std::int32_t GetBuild() const { return build_; }
    const QString& FileName() const { return fileName_; }

    // The numbers of a version text "major.minor.release.build": missing
    // ones read as 0; a text that does not begin with a number gives false.
    static bool ParseVersionText(const char* text, std::int32_t numbers[4]);

private:
    void Read();

    QString fileName_;
    std::int32_t major_ = -1, minor_ = -1, release_ = -1, build_ = -1;
};
