// The version reader: the numbers our build stamps into the program, read
// back from the program itself, a stripped copy, a plugin module and files
// that are damaged or hostile.
#include "player/units/Verinfo.h"

#include "build_number.h"
#include "platform/version/version.h"
#include "support/test_util.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include <cstring>

using version::VerQueryValue;

namespace {

struct Numbers {
    int major, minor, release, build;
    bool operator==(const Numbers&) const = default;
};

Numbers Of(const CVerInfo& v) { return {v.GetMajor(), v.GetMinor(), v.GetRelease(), v.GetBuild()}; }

const Numbers kStamped{ZO_EXPECT_MAJOR, ZO_EXPECT_MINOR, ZO_EXPECT_RELEASE, ZO_VERSION_BUILD};
const Numbers kNone{-1, -1, -1, -1};

QString Program() { return QString::fromUtf8(ZO_PROGRAM); }

std::vector<std::uint8_t> BlockOf(const QString& file)
{
    std::vector<std::uint8_t> block(version::GetFileVersionInfoSize(file, nullptr));
    if (block.empty() || !version::GetFileVersionInfo(file, 0, static_cast<DWORD>(block.size()), block.data()))
        return {};
    return block;
}

QString Text(const std::vector<std::uint8_t>& block, const char* name)
{
    const void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValue(block.data(), QStringLiteral("\\StringFileInfo\\0411fde9\\") + QLatin1String(name), &value,
                       &length))
        return QStringLiteral("<none>");
    EXPECT_EQ(length, std::strlen(static_cast<const char*>(value)) + 1);
    return QString::fromUtf8(static_cast<const char*>(value));
}

TEST(VerInfo, OurProgramCarriesTheBuildsNumbersAndTexts)
{
    EXPECT_EQ(Of(CVerInfo(Program())), kStamped);
    const std::vector<std::uint8_t> block = BlockOf(Program());
    ASSERT_FALSE(block.empty());
    const void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValue(block.data(), QStringLiteral("\\VarFileInfo\\Translation"), &value, &length));
    WORD pair[2];
    std::memcpy(pair, value, 4);
    EXPECT_EQ(pair[0], 0x0411);
    EXPECT_EQ(pair[1], 65001);
    ASSERT_TRUE(VerQueryValue(block.data(), QStringLiteral("\\"), &value, &length));
    version::TFixedVersion fixed;
    ASSERT_EQ(length, sizeof fixed);
    std::memcpy(&fixed, value, sizeof fixed);
    EXPECT_EQ((Numbers{fixed.Major, fixed.Minor, fixed.Release, fixed.Build}), kStamped);
    const QString text = QStringLiteral("%1.%2.%3.%4").arg(kStamped.major).arg(kStamped.minor).arg(kStamped.release)
                             .arg(kStamped.build);
    EXPECT_EQ(Text(block, "FileVersion"), text);
    EXPECT_EQ(Text(block, "productversion"), text);
    EXPECT_EQ(Text(block, "ProductName"), "Zoravel");
    EXPECT_EQ(Text(block, "OriginalFilename"), "Zorvi");
    EXPECT_EQ(Text(block, "CompanyName"), "<none>");
    // Another table than the block's own has nothing.
    EXPECT_FALSE(VerQueryValue(block.data(), QStringLiteral("\\StringFileInfo\\040904b0\\FileVersion"), &value, &length));
    // A buffer too small for the block is refused, not overrun.
    std::vector<std::uint8_t> small(block.size() - 1);
    EXPECT_FALSE(version::GetFileVersionInfo(Program(), 0, static_cast<DWORD>(small.size()), small.data()));
}

TEST(VerInfo, StrippedCopyAndCopyWithoutSectionTableKeepTheNote)
{
    testutil::IsolatedHome home;
    const QString stripped = home.File(QStringLiteral("Zorvi.stripped"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("strip"), {QStringLiteral("-o"), stripped, Program()}), 0);
    EXPECT_EQ(Of(CVerInfo(stripped)), kStamped);

    // Without section headers the program headers alone lead to the note.
    QByteArray bytes = testutil::ReadFile(Program());
    ASSERT_GT(bytes.size(), 64);
    std::memset(bytes.data() + 40, 0, 8);   // e_shoff
    const QString noSections = home.File(QStringLiteral("Zorvi.nosections"));
    ASSERT_TRUE(testutil::WriteFile(noSections, bytes));
    EXPECT_EQ(Of(CVerInfo(noSections)), kStamped);
}

TEST(VerInfo, PluginModulesAnswerWithTheirPluginsVersion)
{
    g_autoptr(GstPlugin) core = gst_registry_find_plugin(gst_registry_get(), "coreelements");
    ASSERT_TRUE(core);
    guint major = 0, minor = 0, micro = 0, nano = 0;
    gst_version(&major, &minor, &micro, &nano);
    const Numbers expected{static_cast<int>(major), static_cast<int>(minor), static_cast<int>(micro), 0};
    EXPECT_EQ(Of(CVerInfo(QString::fromUtf8(gst_plugin_get_filename(core)))), expected);

    // The Windows Media runtime stands for the plugin that demultiplexes ASF.
    const QString wmvcore = version::SystemComponentPath(QStringLiteral("WMVCore.DLL"));
    g_autoptr(GstElementFactory) asf = gst_element_factory_find("asfdemux");
    EXPECT_EQ(wmvcore.isEmpty(), asf == nullptr);
    if (asf) {
        EXPECT_EQ(CVerInfo(wmvcore).GetMajor(), static_cast<int>(major));
    }
    EXPECT_TRUE(version::SystemComponentPath(QStringLiteral("quartz.dll")).isEmpty());
}

TEST(VerInfo, FilesWithoutABlockGiveMinusOneFourTimes)
{
    testutil::IsolatedHome home;
    const QString text = home.File(QStringLiteral("notes.txt"));
    ASSERT_TRUE(testutil::WriteFile(text, "just text, not a program\n"));
    const QString empty = home.File(QStringLiteral("empty"));
    ASSERT_TRUE(testutil::WriteFile(empty, QByteArray()));
    for (const QString& file : {text, empty, home.File(QStringLiteral("missing")), home.Path(), QString()})
        EXPECT_EQ(Of(CVerInfo(file)), kNone) << file.toStdString();
    // A shared library we did not build and that is no plugin.
    EXPECT_EQ(Of(CVerInfo(QStringLiteral("/lib/x86_64-linux-gnu/libc.so.6"))), kNone);

    // Every cut of the program inside or before its note leaves no block.
    const QByteArray bytes = testutil::ReadFile(Program());
    const qsizetype note = bytes.indexOf(QByteArray("Zoravel\0", 8));
    ASSERT_GT(note, 0);
    const QString cut = home.File(QStringLiteral("cut"));
    for (const qsizetype size : {qsizetype(4), qsizetype(63), note - 12, note + 8, note + 30})
    {
        ASSERT_TRUE(testutil::WriteFile(cut, bytes.left(size)));
        EXPECT_EQ(Of(CVerInfo(cut)), kNone) << size;
    }
}

// The note reader over the program's bytes in memory, with a reader that
// refuses anything outside them.
std::vector<std::uint8_t> FindIn(const QByteArray& bytes)
{
    const version::ReadAt read = [&bytes](std::uint64_t offset, void* into, std::size_t size) {
        if (offset > static_cast<std::uint64_t>(bytes.size()) || size > bytes.size() - offset) {
            ADD_FAILURE() << "read outside the file at " << offset << " + " << size;
            return false;
        }
        std::memcpy(into, bytes.constData() + offset, size);
        return true;
    };
    return version::FindVersionNote(read, static_cast<std::uint64_t>(bytes.size()));
}

TEST(VerInfo, HostileNotesAndHeadersAreRefusedWithoutReadingOutside)
{
    const QByteArray program = testutil::ReadFile(Program());
    const qsizetype owner = program.indexOf(QByteArray("Zoravel\0", 8));
    ASSERT_GT(owner, 12);
    const qsizetype header = owner - 12, desc = owner + 8;
    ASSERT_FALSE(FindIn(program).empty());

    auto put32 = [](QByteArray& b, qsizetype at, std::uint32_t v) { std::memcpy(b.data() + at, &v, 4); };
    auto put16 = [](QByteArray& b, qsizetype at, std::uint16_t v) { std::memcpy(b.data() + at, &v, 2); };
    auto put64 = [](QByteArray& b, qsizetype at, std::uint64_t v) { std::memcpy(b.data() + at, &v, 8); };
    const struct {
        const char* what;
        std::function<void(QByteArray&)> spoil;
    } cases[] = {
        {"descriptor size past the region", [&](QByteArray& b) { put32(b, header + 4, 0xFFFFFFF0u); }},
        {"name size past the region", [&](QByteArray& b) { put32(b, header, 0x7FFFFFFFu); }},
        {"block longer than its note", [&](QByteArray& b) { put16(b, desc, 0xFFFF); }},
        {"block shorter than its header", [&](QByteArray& b) { put16(b, desc, 6); }},
        {"unknown block format", [&](QByteArray& b) { put16(b, desc + 2, 2); }},
        {"more texts than it holds", [&](QByteArray& b) { put16(b, desc + 16, 200); }},
        {"texts without their ends", [&](QByteArray& b) {
             const std::uint16_t length = *reinterpret_cast<const std::uint16_t*>(b.constData() + desc);
             std::memset(b.data() + desc + 20, 'A', length - 20);
         }},
        {"program and section tables far outside", [&](QByteArray& b) {
             put64(b, 32, 0x7FFFFFFFFFFF0000ull);
             put64(b, 40, 0xFFFFFFFFFFFFFF00ull);
         }},
        {"huge table entry counts", [&](QByteArray& b) {
             put16(b, 56, 0xFFFF);
             put16(b, 60, 0xFFFF);
             put16(b, 54, 0xFFFF);
         }},
    };
    for (const auto& c : cases) {
        QByteArray spoiled = program;
        c.spoil(spoiled);
        EXPECT_TRUE(FindIn(spoiled).empty()) << c.what;
    }
}

TEST(VerInfo, VersionTexts)
{
    const struct {
        const char* text;
        bool ok;
        Numbers numbers;
    } cases[] = {
        {"9.0.0.3250", true, {9, 0, 0, 3250}},
        {"9.5", true, {9, 5, 0, 0}},
        {"12", true, {12, 0, 0, 0}},
        {" 1.22.0.7 (beta)", true, {1, 22, 0, 7}},
        {"3.x.4", true, {3, 0, 0, 0}},
        {"99999999999.1", true, {2147483647, 1, 0, 0}},
        {"v1.2", false, {}},
        {"", false, {}},
    };
    for (const auto& c : cases) {
        std::int32_t n[4];
        EXPECT_EQ(CVerInfo::ParseVersionText(c.text, n), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ((Numbers{n[0], n[1], n[2], n[3]}), c.numbers) << c.text;
        }
    }
    // A block made with those texts reads back through the same lookups.
    const auto block = version::MakeBlock({9, 0, 0, 3250}, {{QStringLiteral("FileVersion"), QStringLiteral("9.5")}});
    EXPECT_EQ(Text(block, "FileVersion"), "9.5");
}

}  // namespace
