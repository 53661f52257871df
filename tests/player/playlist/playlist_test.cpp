// Play list: shuffle order invariants, steps, removal of unplayable entries,
// entry titles.
#include "player/tag/mp3_maker.h"
#include "support/test_util.h"
#include "units/Entrytitle.h"
#include "units/Playlist.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <set>
#include <utility>

namespace {

TPlayListItem Entry(int i)
{
    TPlayListItem entry;
    entry.Title = QString("t%1").arg(i);
    entry.Path = QString("/m/%1.mp3").arg(i);
    return entry;
}

void Fill(TPlayList& list, int n)
{
    for (int i = 0; i < n; ++i) list.Add(Entry(i), false, false);
}

bool IsPermutation(const std::vector<int>& order, int n)
{
    if (static_cast<int>(order.size()) != n) return false;
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < n; ++i) {
        if (sorted[static_cast<size_t>(i)] != i) return false;
    }
    return true;
}

// The entry index named by a path made by Entry().
int IndexOfPath(const QString& path) { return path.section('/', -1).section('.', 0, 0).toInt(); }

}  // namespace

TEST(PlayList, SmallListsHaveNoOrderAndNoSteps)
{
    TPlayList list;
    list.BuildShuffleOrder();
    EXPECT_FALSE(list.HasShuffleOrder());
    EXPECT_FALSE(list.StepNext(true));
    EXPECT_FALSE(list.StepPrevious(false));
    EXPECT_EQ(list.Current(), nullptr);
    list.Add(Entry(0), true, true);
    list.BuildShuffleOrderFromCurrent();
    EXPECT_FALSE(list.HasShuffleOrder());
    EXPECT_FALSE(list.StepNext(false));
    EXPECT_EQ(list.ListIndex(), 0);
}

TEST(PlayList, StepsWithoutShuffleWrapAtBothEnds)
{
    TPlayList list;
    Fill(list, 3);
    list.SetListIndex(2);
    ASSERT_TRUE(list.StepNext(false));
    EXPECT_EQ(list.ListIndex(), 0);
    EXPECT_EQ(list.LastDirection(), TPlayList::Direction::Forward);
    ASSERT_TRUE(list.StepPrevious(false));
    EXPECT_EQ(list.ListIndex(), 2);
    EXPECT_EQ(list.LastDirection(), TPlayList::Direction::Backward);
    // An index outside the list never reaches an entry and steps back inside.
    list.SetListIndex(57);
    EXPECT_EQ(list.Current(), nullptr);
    list.StepNext(false);
    EXPECT_EQ(list.ListIndex(), 0);
    list.SetListIndex(-9);
    list.StepPrevious(false);
    EXPECT_EQ(list.ListIndex(), 2);
}

TEST(PlayList, ShuffleOrderStaysAPermutationThroughRandomUse)
{
    TPlayList::SeedRandom(11);
    std::mt19937 random(3);
    TPlayList list;
    Fill(list, 7);
    list.SetListIndex(4);
    list.BuildShuffleOrderFromCurrent();
    ASSERT_EQ(list.ShuffleOrder().front(), 4);
    ASSERT_EQ(list.ShufflePosition(), 0);
    for (int i = 0; i < 3000; ++i) {
        switch (random() % 5) {
        case 0:
        case 1: list.StepNext(true); break;
        case 2: list.StepPrevious(true); break;
        case 3: list.Add(Entry(list.Count()), true, true); break;
        case 4:
            if (list.Count() > 3 && list.RemoveCurrent(true) > 1) {
                if (list.LastDirection() == TPlayList::Direction::Forward) list.StepNext(true);
                else list.StepPrevious(true);
            }
            break;
        }
        ASSERT_TRUE(list.HasShuffleOrder());
        ASSERT_TRUE(IsPermutation(list.ShuffleOrder(), list.Count())) << "operation " << i;
        ASSERT_EQ(list.ListIndex(), list.ShuffleOrder()[static_cast<size_t>(list.ShufflePosition())]) << "operation " << i;
    }
}

TEST(PlayList, ShuffleStepsVisitEveryEntryThenStartAFreshOrder)
{
    TPlayList list;
    Fill(list, 6);
    list.BuildShuffleOrder();
    list.SetListIndex(list.ShuffleOrder().front());
    std::vector<int> seen{list.ListIndex()};
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(list.StepNext(true));
        EXPECT_EQ(list.ListIndex(), list.ShuffleOrder()[static_cast<size_t>(list.ShufflePosition())]);
        seen.push_back(list.ListIndex());
    }
    EXPECT_TRUE(IsPermutation(seen, 6));
    // Past the end: a fresh permutation, its first entry.
    list.StepNext(true);
    EXPECT_EQ(list.ShufflePosition(), 0);
    EXPECT_EQ(list.ListIndex(), list.ShuffleOrder().front());
    // Before the start: a fresh permutation, its last entry.
    list.StepPrevious(true);
    EXPECT_EQ(list.ShufflePosition(), 5);
    EXPECT_EQ(list.ListIndex(), list.ShuffleOrder().back());
}

TEST(PlayList, RebuiltOrdersDifferWithinTheSameSecond)
{
    TPlayList list;
    Fill(list, 40);
    list.BuildShuffleOrder();
    const std::vector<int> first = list.ShuffleOrder();
    list.BuildShuffleOrder();
    EXPECT_NE(list.ShuffleOrder(), first);
}

TEST(PlayList, AppendedEntryLandsAfterTheCurrentPosition)
{
    TPlayList::SeedRandom(5);
    for (int trial = 0; trial < 50; ++trial) {
        TPlayList list;
        Fill(list, 5);
        list.BuildShuffleOrder();
        const int position = trial % 5;
        list.SetListIndex(list.ShuffleOrder()[static_cast<size_t>(position)]);
        ASSERT_EQ(list.ShufflePosition(), position);
        const std::vector<int> before = list.ShuffleOrder();
        list.Add(Entry(5), true, true);
        const std::vector<int>& after = list.ShuffleOrder();
        ASSERT_TRUE(IsPermutation(after, 6));
        const auto at = std::find(after.begin(), after.end(), 5) - after.begin();
        EXPECT_GT(at, position);
        EXPECT_EQ(list.ListIndex(), after[static_cast<size_t>(list.ShufflePosition())]);
        if (position == 4) {
            EXPECT_EQ(at, 5);   // current last: the new one becomes last
        }
        // The rest keeps its order.
        std::vector<int> rest = after;
        rest.erase(rest.begin() + at);
        EXPECT_EQ(rest, before);
    }
    // Not in append mode the order is left alone; a step then rebuilds it
    // from the current entry instead of naming a missing index.
    TPlayList list;
    Fill(list, 3);
    list.BuildShuffleOrder();
    list.SetListIndex(list.ShuffleOrder().front());
    const int current = list.ListIndex();
    list.Add(Entry(3), false, true);
    EXPECT_EQ(list.ShuffleOrder().size(), 3u);
    list.StepNext(true);
    EXPECT_TRUE(IsPermutation(list.ShuffleOrder(), 4));
    EXPECT_EQ(list.ShuffleOrder().front(), current);
    EXPECT_EQ(list.ShufflePosition(), 1);
}

TEST(PlayList, AppendToASingleEntryStartsTheOrderAtTheCurrentEntry)
{
    TPlayList list;
    list.Add(Entry(0), true, true);
    list.Add(Entry(1), true, true);
    ASSERT_TRUE(list.HasShuffleOrder());
    EXPECT_EQ(list.ShuffleOrder(), (std::vector<int>{0, 1}));
    list.StepNext(true);
    EXPECT_EQ(list.ListIndex(), 1);
}

TEST(PlayList, RemovingUnplayableEntriesWithoutShuffle)
{
    struct Case {
        int removed;
        TPlayList::Direction direction;
        QString reached;   // path of the entry the next step in that direction reaches
    };
    const Case cases[] = {
        {2, TPlayList::Direction::Forward, "/m/3.mp3"},  {2, TPlayList::Direction::Backward, "/m/1.mp3"},
        {0, TPlayList::Direction::Forward, "/m/1.mp3"},  {0, TPlayList::Direction::Backward, "/m/4.mp3"},
        {4, TPlayList::Direction::Forward, "/m/0.mp3"},  {4, TPlayList::Direction::Backward, "/m/3.mp3"},
    };
    for (const Case& c : cases) {
        TPlayList list;
        Fill(list, 5);
        // Arrive at the entry by a step in the direction under test.
        if (c.direction == TPlayList::Direction::Forward) {
            list.SetListIndex(c.removed == 0 ? 4 : c.removed - 1);
            list.StepNext(false);
        } else {
            list.SetListIndex(c.removed == 4 ? 0 : c.removed + 1);
            list.StepPrevious(false);
        }
        ASSERT_EQ(list.ListIndex(), c.removed);
        ASSERT_EQ(list.RemoveCurrent(false), 4);
        if (c.direction == TPlayList::Direction::Forward) list.StepNext(false);
        else list.StepPrevious(false);
        ASSERT_NE(list.Current(), nullptr);
        EXPECT_EQ(list.Current()->Path, c.reached) << "removed " << c.removed;
    }
}

TEST(PlayList, RemovingUnplayableEntriesWithShuffle)
{
    TPlayList::SeedRandom(9);
    std::mt19937 random(1);
    std::set<std::pair<int, bool>> covered;   // (position, forward)
    for (int trial = 0; trial < 400; ++trial) {
        TPlayList list;
        Fill(list, 5);
        list.BuildShuffleOrder();
        list.SetListIndex(list.ShuffleOrder().front());
        for (int s = int(random() % 7); s >= 0; --s) {
            if (random() % 2) list.StepNext(true);
            else list.StepPrevious(true);
        }
        const bool forward = list.LastDirection() == TPlayList::Direction::Forward;
        const std::vector<int> order = list.ShuffleOrder();
        const int position = list.ShufflePosition();
        const int removed = list.ListIndex();
        ASSERT_EQ(removed, order[static_cast<size_t>(position)]);
        covered.insert({position, forward});

        ASSERT_EQ(list.RemoveCurrent(true), 4);
        ASSERT_TRUE(IsPermutation(list.ShuffleOrder(), 4));
        auto renumber = [removed](int v) { return v > removed ? v - 1 : v; };
        std::vector<int> expected;
        for (int v : order) {
            if (v != removed) expected.push_back(renumber(v));
        }
        ASSERT_EQ(list.ShuffleOrder(), expected);   // values above the removed one reduced by one
        if (forward) {
            list.StepNext(true);
            if (position < 4) EXPECT_EQ(list.ListIndex(), renumber(order[static_cast<size_t>(position + 1)]));
            else EXPECT_EQ(list.ShufflePosition(), 0);   // past the end: a fresh order
        } else {
            list.StepPrevious(true);
            if (position > 0) EXPECT_EQ(list.ListIndex(), renumber(order[static_cast<size_t>(position - 1)]));
            else EXPECT_EQ(list.ShufflePosition(), 3);   // before the start: a fresh order, its last
        }
        EXPECT_EQ(list.ListIndex(), list.ShuffleOrder()[static_cast<size_t>(list.ShufflePosition())]);
    }
    EXPECT_EQ(covered.size(), 10u);   // every position in both directions
}

TEST(PlayList, RemovingDownToOneOrNoEntry)
{
    TPlayList list;
    Fill(list, 2);
    list.BuildShuffleOrder();
    list.SetListIndex(1);
    EXPECT_EQ(list.RemoveCurrent(true), 1);
    EXPECT_FALSE(list.HasShuffleOrder());
    EXPECT_EQ(list.ListIndex(), 0);
    EXPECT_EQ(list.Current()->Path, "/m/0.mp3");
    EXPECT_EQ(list.RemoveCurrent(true), 0);
    EXPECT_EQ(list.Current(), nullptr);
    EXPECT_EQ(list.RemoveCurrent(true), 0);   // nothing left: nothing removed
    // An index outside the list removes nothing.
    Fill(list, 3);
    list.SetListIndex(3);
    EXPECT_EQ(list.RemoveCurrent(false), 3);
}

TEST(PlayList, ClearResetsTheIndexes)
{
    TPlayList list;
    Fill(list, 4);
    list.BuildShuffleOrder();
    list.StepNext(true);
    list.StepNext(true);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(list.HasShuffleOrder());
    EXPECT_EQ(list.ListIndex(), 0);
    EXPECT_EQ(list.ShufflePosition(), 0);
}

TEST(PlayList, InsertAndMoveKeepTheOrderNamingTheSameEntries)
{
    TPlayList list;
    Fill(list, 5);
    list.BuildShuffleOrder();
    auto orderPaths = [&list] {
        QStringList paths;
        for (int v : list.ShuffleOrder()) paths << list.Item(v).Path;
        return paths;
    };
    const QStringList before = orderPaths();
    list.Move(4, 0);
    EXPECT_EQ(list.Item(0).Path, "/m/4.mp3");
    EXPECT_EQ(orderPaths(), before);
    list.Move(0, 3);
    EXPECT_EQ(orderPaths(), before);
    list.Insert(2, Entry(9));
    EXPECT_EQ(list.Item(2).Path, "/m/9.mp3");
    EXPECT_EQ(orderPaths(), before + QStringList{"/m/9.mp3"});
    list.Insert(100, Entry(10));
    EXPECT_EQ(list.Item(list.Count() - 1).Path, "/m/10.mp3");
    EXPECT_TRUE(IsPermutation(list.ShuffleOrder(), 7));
    EXPECT_EQ(IndexOfPath(list.Item(0).Path), 0);
}

// ---- entry titles ----

TEST(EntryTitle, TitleRules)
{
    QTemporaryDir dir;
    using namespace mp3test;
    const QByteArray tagged = Tag(3, Frame23("TIT2", Text(0, "T")) + Frame23("TPE1", Text(0, "A"))) +
                              Mpeg1Layer3Frames(2);
    const QString song = dir.filePath("song.mp3");
    ASSERT_TRUE(testutil::WriteFile(song, tagged));
    EXPECT_EQ(MakeEntryTitle(song, false, true), "T - A");
    EXPECT_EQ(MakeEntryTitle(song, true, true), "song.mp3");
    EXPECT_EQ(MakeEntryTitle(song, false, false), "song");   // ID3v2 not allowed, no ID3v1

    const QString upper = dir.filePath("Song.Tagged.MP3");
    ASSERT_TRUE(testutil::WriteFile(upper, tagged));
    EXPECT_EQ(MakeEntryTitle(upper, false, true), "T - A");
    EXPECT_EQ(MakeEntryTitle(upper, true, true), "Song.Tagged.MP3");

    const QString noArtist = dir.filePath("b.mp3");
    ASSERT_TRUE(testutil::WriteFile(noArtist, Tag(3, Frame23("TIT2", Text(0, "Only")))));
    EXPECT_EQ(MakeEntryTitle(noArtist, false, true), "Only");

    const QString emptyTitle = dir.filePath("song2.mp3");
    ASSERT_TRUE(testutil::WriteFile(emptyTitle, Tag(3, Frame23("TPE1", Text(0, "A"))) + Id3v1("v1", "", "")));
    EXPECT_EQ(MakeEntryTitle(emptyTitle, false, true), "song2");
    EXPECT_EQ(MakeEntryTitle(emptyTitle, false, false), "v1");   // ID3v1 when ID3v2 is not allowed

    const QString wma = dir.filePath("clip.wma");
    ASSERT_TRUE(testutil::WriteFile(wma, tagged));
    EXPECT_EQ(MakeEntryTitle(wma, false, true), "clip");
    EXPECT_EQ(MakeEntryTitle(dir.filePath("missing.mp3"), false, true), "missing");
    EXPECT_EQ(MakeEntryTitle("http://host/dir/radio.mp3", false, true), "radio");
    EXPECT_EQ(MakeEntryTitle("http://host/", false, true), "http://host/");
}
