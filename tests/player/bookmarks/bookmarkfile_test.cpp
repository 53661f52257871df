// "Bookmarks.bmk" on golden files: blocks written, replaced and removed,
// the header's name cut and cleaned, the forms the writer mends, and
// malformed, long and oversized input read safely.
#include "units/Bookmarkfile.h"

#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

#include <vector>

using namespace bookmarks;

namespace {

class BookmarkFile : public ::testing::Test {
protected:
    QString Path() const { return dir_.filePath(QStringLiteral("Bookmarks.bmk")); }
    QByteArray Content() const { return testutil::ReadFile(Path()); }
    void Write(const QByteArray& bytes) const { ASSERT_TRUE(testutil::WriteFile(Path(), bytes)); }
    CBookmarkFile File() const { return CBookmarkFile(Path()); }

    QTemporaryDir dir_;
};

TBlock TwoMarksOneSection()
{
    TBlock block;
    block.Bookmarks = {{QStringLiteral("0:00:05"), 500}, {QStringLiteral("intro/outro"), 1234}};
    block.Sections = {{QStringLiteral("0:00:10-0:00:20"), 1000, 2000}};
    return block;
}

}  // namespace

TEST_F(BookmarkFile, BlocksAreWrittenNewestFirstAndReplacedInPlaceOfTheOld)
{
    const QByteArray a = BlockHeader(QStringLiteral("/media/a.avi"), 100);
    const QByteArray b = BlockHeader(QStringLiteral("/media/b.avi"), 200);
    ASSERT_EQ(a, "/a.avi/100");
    ASSERT_EQ(File().Save(a, TwoMarksOneSection()), 0);
    TBlock one;
    one.Bookmarks = {{QStringLiteral("x"), 7}};
    ASSERT_EQ(File().Save(b, one), 0);
    EXPECT_EQ(Content(), "/b.avi/200\n1\nx/7\n"
                         "/a.avi/100\n3\n0:00:05/500\nintro/outro/1234\n<0:00:10-0:00:20>1000/2000\n");

    // Saving a again moves its block to the top; b keeps its lines.
    TBlock changed = TwoMarksOneSection();
    changed.Bookmarks.pop_back();
    ASSERT_EQ(File().Save(a, changed), 0);
    EXPECT_EQ(Content(), "/a.avi/100\n2\n0:00:05/500\n<0:00:10-0:00:20>1000/2000\n/b.avi/200\n1\nx/7\n");

    // Read back: the caption keeps its "/", the section its three parts.
    const std::optional<TBlock> loaded = File().Load(b);
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->Bookmarks.size(), 1u);
    const std::optional<TBlock> again = File().Load(a);
    ASSERT_TRUE(again);
    ASSERT_EQ(again->Sections.size(), 1u);
    EXPECT_EQ(again->Sections[0].Start, 1000);
    EXPECT_EQ(again->Sections[0].End, 2000);
    const TBlock written = TwoMarksOneSection();
    const std::optional<TBlock> full = FindBlock(ReplaceBlock({}, a, &written), a);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->Bookmarks[1].Caption, QStringLiteral("intro/outro"));
    EXPECT_EQ(full->Bookmarks[1].Position, 1234);

    // Removing leaves the other block; removing from no file makes none.
    ASSERT_EQ(File().Remove(a), 0);
    EXPECT_EQ(Content(), "/b.avi/200\n1\nx/7\n");
    EXPECT_FALSE(File().Load(a));
    QFile::remove(Path());
    ASSERT_EQ(File().Remove(b), 0);
    EXPECT_FALSE(QFile::exists(Path()));
}

TEST_F(BookmarkFile, TheHeaderNamesTheFileByItsLastComponentCutAndCleaned)
{
    // Two copies in different folders share a block; another stamp does not.
    EXPECT_EQ(BlockHeader(QStringLiteral("/x/clip.avi"), 5), BlockHeader(QStringLiteral("/y/z/clip.avi"), 5));
    EXPECT_NE(BlockHeader(QStringLiteral("/x/clip.avi"), 5), BlockHeader(QStringLiteral("/x/clip.avi"), 6));
    EXPECT_EQ(BlockHeader(QStringLiteral("/x/clip.avi"), -1), "/clip.avi/-1");

    // 80 bytes of three-byte characters (and two ASCII bytes) are cut at a
    // character boundary within 70 bytes, and the block is found again.
    const QString name = QString(26, QChar(0x3042)) + QStringLiteral("ab");
    ASSERT_EQ(name.toUtf8().size(), 80);
    const QByteArray header = BlockHeader(QStringLiteral("/m/") + name, 7);
    EXPECT_EQ(header, '/' + QString(23, QChar(0x3042)).toUtf8() + "/7");
    TBlock block;
    block.Bookmarks = {{QStringLiteral("m"), 1}};
    ASSERT_EQ(File().Save(header, block), 0);
    EXPECT_TRUE(File().Load(BlockHeader(QStringLiteral("/other/") + name, 7)));

    // A line feed in the name (legal here) cannot split the header.
    EXPECT_EQ(BlockHeader(QStringLiteral("/m/a\nb\tc.avi"), 1), "/a_b_c.avi/1");
}

TEST_F(BookmarkFile, TheWriterKeepsEveryLineReadableAsWhatItIs)
{
    TBlock block;
    block.Bookmarks = {{QString(), 6150},                       // no caption: its time
                       {QStringLiteral("/etc"), 10},             // would read as a header
                       {QStringLiteral("<a>1/2"), 20},           // would read as a section
                       {QStringLiteral("two\nlines"), 30}};
    block.Sections = {{QStringLiteral("a b>c/d"), 40, 50}, {QString(), 100, 250}};
    const QByteArray header = "/m.avi/1";
    const QByteArray text = ReplaceBlock({}, header, &block);
    EXPECT_EQ(text, "/m.avi/1\n6\n0:01:01/6150\n /etc/10\n <a>1/2/20\ntwo_lines/30\n"
                    "<a_b_c_d>40/50\n<0:00:01-0:00:02>100/250\n");
    const std::optional<TBlock> back = FindBlock(text, header);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->Bookmarks.size(), 4u);
    ASSERT_EQ(back->Sections.size(), 2u);
    EXPECT_EQ(back->Bookmarks[1].Position, 10);
    EXPECT_EQ(back->Bookmarks[2].Caption, QStringLiteral(" <a>1/2"));
    EXPECT_EQ(back->Sections[0].End, 50);
}

TEST_F(BookmarkFile, MalformedCountsLinesAndNumbersAreSkipped)
{
    const QByteArray header = "/m.avi/1";
    // A count of 0, or none, gives an empty block that still counts as found.
    const std::optional<TBlock> zero = FindBlock("/m.avi/1\n0\nx/5\n", header);
    ASSERT_TRUE(zero);
    EXPECT_TRUE(zero->IsEmpty());
    EXPECT_TRUE(FindBlock("/m.avi/1\n", header)->IsEmpty());
    EXPECT_TRUE(FindBlock("/m.avi/1\n/n.avi/2\n1\nx/5\n", header)->IsEmpty());

    // Lines without their parts, numbers past 32 bits, the next header and an
    // empty line end or skip as they should; the count limits the block.
    const QByteArray long_caption(100000, 'c');
    const QByteArray content = "/m.avi/1\n9\nno separator\n" + long_caption + "/77\nbig/99999999999\n"
                               "<name>12/\n<name>x/5\n<na me>1/2\n<ok>3/4\r\n/m.avi/1?\nafter/1\n";
    const std::optional<TBlock> block = FindBlock(content, header);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->Bookmarks.size(), 1u);
    EXPECT_EQ(block->Bookmarks[0].Caption.size(), 100000);
    EXPECT_EQ(block->Bookmarks[0].Position, 77);
    ASSERT_EQ(block->Sections.size(), 1u);
    EXPECT_EQ(block->Sections[0].Name, QStringLiteral("ok"));
    EXPECT_EQ(FindBlock("/m.avi/1\n3\na/1\n\nb/2\n", header)->Bookmarks.size(), 1u);

    EXPECT_EQ(DigitsToInt("a1b2c3"), 123);
    EXPECT_EQ(DigitsToInt("none"), 0);
    EXPECT_EQ(DigitsToInt("2147483647"), 2147483647);
    EXPECT_FALSE(DigitsToInt("2147483648"));
    EXPECT_FALSE(DigitsToInt(QByteArray(400, '9')));

    // A last line without its line end is kept whole when a block goes first.
    EXPECT_EQ(ReplaceBlock("/n.avi/2\n1\nx/5", header, nullptr), "/n.avi/2\n1\nx/5\n");
}

TEST_F(BookmarkFile, AnOversizedFileIsNeitherReadNorRewritten)
{
    QFile file(Path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(kMaxFileBytes + 1));
    file.close();
    EXPECT_FALSE(File().Load("/m.avi/1"));
    EXPECT_NE(File().Save("/m.avi/1", TwoMarksOneSection()), 0);
    EXPECT_EQ(QFileInfo(Path()).size(), kMaxFileBytes + 1);
}

// Three processes save the same file's block at once, each what it added
// and removed since it loaded it: every bookmark acknowledged stays, each
// one removed stays removed, and the other blocks stay as they were.
TEST_F(BookmarkFile, WindowsSavingTheSameBlockAtOnceKeepEachOthersEntries)
{
    const QByteArray header = BlockHeader(QStringLiteral("/media/clip.avi"), 7);
    const QByteArray other = BlockHeader(QStringLiteral("/media/other.avi"), 8);
    TBlock first;
    first.Sections = {{QStringLiteral("old"), 100, 200}};
    ASSERT_EQ(File().Save(other, TwoMarksOneSection()), 0);
    ASSERT_EQ(File().Save(header, first), 0);
    constexpr int kWindows = 3;
    constexpr int kMarks = 40;
    std::vector<pid_t> children;
    for (int w = 0; w < kWindows; ++w) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid > 0) {
            children.push_back(pid);
            continue;
        }
        // A window: loads the block, then adds a bookmark at a time, and
        // removes its first bookmark and the old section halfway.
        TBlock mine = File().Load(header).value_or(TBlock());
        int failures = 0;
        for (int k = 0; k < kMarks; ++k) {
            TBlock next = mine;
            next.Bookmarks.push_back({QStringLiteral("w%1-%2").arg(w).arg(k), w * 1000 + k});
            if (k == kMarks / 2) {
                // Its own first one: what it loaded may hold the others' too.
                const QString first = QStringLiteral("w%1-0").arg(w);
                std::erase_if(next.Bookmarks, [&](const TBookmark& b) { return b.Caption == first; });
                next.Sections.clear();
            }
            failures += File().Update(header, mine, next) != 0;
            mine = next;
        }
        _exit(failures);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::optional<TBlock> block = File().Load(header);
    ASSERT_TRUE(block);
    QStringList captions;
    for (const TBookmark& mark : block->Bookmarks) captions << mark.Caption;
    EXPECT_EQ(captions.size(), kWindows * (kMarks - 1));
    for (int w = 0; w < kWindows; ++w) {
        EXPECT_FALSE(captions.contains(QStringLiteral("w%1-0").arg(w)));
        for (int k = 1; k < kMarks; ++k) EXPECT_TRUE(captions.contains(QStringLiteral("w%1-%2").arg(w).arg(k)));
    }
    EXPECT_TRUE(block->Sections.empty());
    const std::optional<TBlock> untouched = File().Load(other);
    ASSERT_TRUE(untouched);
    EXPECT_EQ(untouched->Bookmarks.size(), 2u);
    EXPECT_EQ(untouched->Sections.size(), 1u);
}

// A block larger than the menus hold: loading keeps the first 1,000 entries
// (bookmarks and sections together), and a window's save, which changes
// what it holds, keeps every line beyond in the file.
TEST_F(BookmarkFile, TheMenusHoldTheFirstThousandEntriesAndTheFileKeepsTheRest)
{
    const QByteArray header = BlockHeader(QStringLiteral("/media/long.avi"), 1);
    constexpr int kLines = 200000;
    QByteArray content = header + '\n' + QByteArray::number(kLines) + '\n';
    for (int i = 0; i < kLines; ++i) {
        content += i % 2 ? SectionLine({QString(), i, i + 1}) : BookmarkLine({QString(), i});
        content += '\n';
    }
    Write(content);
    const std::optional<TBlock> held = File().Load(header);
    ASSERT_TRUE(held);
    EXPECT_EQ(held->Bookmarks.size(), 500u);
    EXPECT_EQ(held->Sections.size(), 500u);
    EXPECT_EQ(held->Sections.back().Start, 999);

    TBlock changed = *held;
    changed.Bookmarks.erase(changed.Bookmarks.begin());
    changed.Bookmarks.push_back({QStringLiteral("new"), 5});
    ASSERT_EQ(File().Update(header, *held, changed), 0);
    const std::optional<TBlock> all = FindBlock(Content(), header, kLines + 1);
    ASSERT_TRUE(all);
    ASSERT_EQ(all->Bookmarks.size(), static_cast<size_t>(kLines / 2));
    EXPECT_EQ(all->Bookmarks[0].Position, 2);
    EXPECT_EQ(all->Bookmarks[2].Caption, QStringLiteral("new"));
    EXPECT_EQ(all->Sections.size(), static_cast<size_t>(kLines / 2));
    EXPECT_EQ(all->Sections.back().Start, kLines - 1);
}
