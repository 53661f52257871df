// The play list's model: the signals each kind of change sends, in order,
// under Qt's model tester, and loads in a batch announced as one reset.
#include "units/Clistsort.h"
#include "units/PlaylistModel.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

#include <functional>

namespace {

QStringList g_modelFaults;

void RecordModelFaults(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtDebugMsg && type != QtInfoMsg && QByteArray(context.category).startsWith("qt.modeltest"))
        g_modelFaults << text;
}

// Five entries titled t4 down to t0, the current one t3 (index 1).
void Fill(TPlayListModel& model)
{
    for (int i = 0; i < 5; ++i)
        model.Add({QString("t%1").arg(4 - i), QString("/m/%1.MP3").arg(i)}, false, false);
    model.SetListIndex(1);
}

// Every signal of the model as a line of text, in the order sent.
struct Recorder {
    explicit Recorder(TPlayListModel& model)
    {
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, &context,
                         [this](const QModelIndex&, int first, int last) { Log("inserted", first, last); });
        QObject::connect(&model, &QAbstractItemModel::rowsRemoved, &context,
                         [this](const QModelIndex&, int first, int last) { Log("removed", first, last); });
        QObject::connect(&model, &QAbstractItemModel::rowsMoved, &context,
                         [this](const QModelIndex&, int first, int, const QModelIndex&, int to) {
                             Log("moved", first, to);
                         });
        QObject::connect(&model, &QAbstractItemModel::dataChanged, &context,
                         [this](const QModelIndex& from, const QModelIndex& to) {
                             const QString columns = QString(" %1-%2").arg(from.column()).arg(to.column());
                             Log("changed", from.row(), to.row(), columns);
                         });
        QObject::connect(&model, &QAbstractItemModel::modelReset, &context, [this] { lines << "reset"; });
        QObject::connect(&model, &TPlayListModel::listIndexChanged, &context,
                         [this](int index) { lines << QString("index %1").arg(index); });
    }
    void Log(const char* what, int a, int b, const QString& more = {})
    {
        lines << QString("%1 %2 %3").arg(what).arg(a).arg(b) + more;
    }
    QObject context;
    QStringList lines;
};

struct Case {
    const char* name;
    std::function<void(TPlayListModel&)> change;
    QStringList signals_;
    int indexAfter;
};

}  // namespace

TEST(PlayListModel, EachKindOfChangeSendsItsSignals)
{
    const TPlayListItem x{"x", "/m/x.mp3"};
    const Case cases[] = {
        {"add", [&](TPlayListModel& m) { m.Add(x, false, false); }, {"inserted 5 5"}, 1},
        {"insert past the end", [&](TPlayListModel& m) { m.Insert(9, x); }, {"inserted 5 5"}, 1},
        {"insert before the current", [&](TPlayListModel& m) { m.Insert(0, x); }, {"inserted 0 0"}, 1},
        {"move down", [](TPlayListModel& m) { m.Move(0, 3); }, {"moved 0 4"}, 1},
        {"move up", [](TPlayListModel& m) { m.Move(4, 1); }, {"moved 4 1"}, 1},
        {"move onto itself", [](TPlayListModel& m) { m.Move(2, 2); }, {}, 1},
        {"remove going forward", [](TPlayListModel& m) { m.RemoveCurrent(false); }, {"removed 1 1", "index 0"}, 0},
        // Going backward the index stays: the entry before the removed one is next.
        {"remove going backward", [](TPlayListModel& m) { m.StepPrevious(false); m.RemoveCurrent(false); },
         {"index 0", "removed 0 0"}, 0},
        {"remove with no current", [](TPlayListModel& m) { m.SetListIndex(7); m.RemoveCurrent(false); }, {"index 7"},
         7},
        {"clear", [](TPlayListModel& m) { m.Clear(); }, {"reset", "index 0"}, 0},
        {"clear twice", [](TPlayListModel& m) { m.Clear(); m.Clear(); }, {"reset", "index 0"}, 0},
        {"sort follows the current entry",
         [](TPlayListModel& m) { Clistsort::SetListSortKey(Clistsort::skTitleAscending); m.Sort(); },
         {"reset", "index 3"}, 3},
        {"index", [](TPlayListModel& m) { m.SetListIndex(3); m.SetListIndex(3); }, {"index 3"}, 3},
        {"steps", [](TPlayListModel& m) { m.StepNext(false); m.StepPrevious(false); }, {"index 2", "index 1"}, 1},
        {"entry replaced", [&](TPlayListModel& m) { m.SetItem(2, x); m.SetItem(5, x); }, {"changed 2 2 0-3"}, 1},
        {"shuffle orders",
         [](TPlayListModel& m) {
             m.BuildShuffleOrder();
             m.BuildShuffleOrderFromCurrent();
             m.FreeSmallShuffleOrder();
             m.ClearShuffleOrder();
         },
         {}, 1},
        {"a load in nested batches",
         [&](TPlayListModel& m) {
             TPlayListModel::Batch outer(m);
             m.Clear();
             for (int i = 0; i < 1000; ++i) {
                 TPlayListModel::Batch inner(m);
                 m.Add(x, true, true);
             }
             m.SetListIndex(500);
         },
         {"reset", "index 500"}, 500},
        {"a batch that only steps", [](TPlayListModel& m) { TPlayListModel::Batch b(m); m.StepNext(false); },
         {"index 2"}, 2},
        {"a batch that changes nothing", [](TPlayListModel& m) { TPlayListModel::Batch b(m); m.SetListIndex(1); }, {},
         1},
    };
    const QtMessageHandler previous = qInstallMessageHandler(RecordModelFaults);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_modelFaults.clear();
        TPlayListModel model;
        Fill(model);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
        Recorder recorder(model);
        c.change(model);
        EXPECT_EQ(recorder.lines.join(", ").toStdString(), c.signals_.join(", ").toStdString());
        EXPECT_EQ(model.ListIndex(), c.indexAfter);
        EXPECT_EQ(model.rowCount(), model.Count());
        EXPECT_TRUE(g_modelFaults.isEmpty()) << g_modelFaults.join('\n').toStdString();
    }
    qInstallMessageHandler(previous);
}

TEST(PlayListModel, ColumnsAreTheListEditorsAndRowsFollowTheList)
{
    TPlayListModel model;
    Fill(model);
    model.SetItem(0, {"Track 1", "/cd/Track01.CDA", "Someone"});
    const QStringList headers{"タイトル", "種類", "アーティスト", "ファイル名"};
    ASSERT_EQ(model.columnCount(), headers.size());
    for (int c = 0; c < headers.size(); ++c) EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), headers[c]);
    auto row = [&model](int r) {
        QStringList cells;
        for (int c = 0; c < model.columnCount(); ++c) cells << model.index(r, c).data().toString();
        return cells;
    };
    EXPECT_EQ(row(0), QStringList({"Track 1", "cda", "Someone", "/cd/Track01.CDA"}));
    model.Move(0, 4);
    EXPECT_EQ(row(4), QStringList({"Track 1", "cda", "Someone", "/cd/Track01.CDA"}));
    EXPECT_EQ(row(0), QStringList({"t3", "mp3", "", "/m/1.MP3"}));
    EXPECT_FALSE(model.index(5, 0).isValid());
}
