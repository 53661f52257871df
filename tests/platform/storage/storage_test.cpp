// Compound files written and read back through libgsf: the signature, the
// streams, replacing a file whole, and what is refused (files that are no
// compound files, foreign streams, names and sizes past the bounds).
#include "platform/dvd/state.h"
#include "platform/storage/storage.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using namespace storage;

namespace {

class StorageTest : public ::testing::Test {
protected:
    QString File(const char* name) const { return home.File(name); }
    testutil::IsolatedHome home;
};

TEST_F(StorageTest, AStateRecordRoundTripsAsTheOneStream)
{
    dvd::StateRecord record;
    record.discId = 0x0123456789abcdefULL;
    record.title = 3;
    record.chapter = 2;
    record.time = {0, 1, 2, 3};
    const QByteArray state = dvd::WriteStateRecord(record);
    const QString path = File("Resume.rsm");
    ASSERT_EQ(WriteStream(path, "ZoravelBookmarks", state), S_OK);

    const QByteArray raw = testutil::ReadFile(path);
    EXPECT_TRUE(HasSignature(raw));
    EXPECT_EQ(raw.size() % 512, 0) << "whole sectors";
    Storage read;
    ASSERT_EQ(Storage::Open(path, &read), S_OK);
    EXPECT_EQ(read.StreamNames(), QStringList{"ZoravelBookmarks"});
    QByteArray back;
    ASSERT_EQ(read.ReadStream("ZoravelBookmarks", &back), S_OK);
    EXPECT_EQ(back, state);
    std::uint64_t id = 0;
    ASSERT_TRUE(dvd::StateRecordDiscId(back, &id));
    EXPECT_EQ(id, record.discId);
    EXPECT_FALSE(dvd::StateRecordDiscId(back.left(back.size() - 1), &id));
    EXPECT_EQ(read.ReadStream("Other", &back), STG_E_FILENOTFOUND);

    // Written again: the stream is replaced, another stream of the file kept,
    // and no temporary is left beside it.
    Storage two = read;
    ASSERT_EQ(two.WriteStream("Notes", QByteArray(5000, 'n')), S_OK);   // past the small-block size
    ASSERT_EQ(two.Save(path), S_OK);
    ASSERT_EQ(WriteStream(path, "ZoravelBookmarks", "new"), S_OK);
    ASSERT_EQ(Storage::Open(path, &read), S_OK);
    EXPECT_EQ(read.StreamNames(), (QStringList{"Notes", "ZoravelBookmarks"}));
    ASSERT_EQ(read.ReadStream("ZoravelBookmarks", &back), S_OK);
    EXPECT_EQ(back, "new");
    ASSERT_EQ(read.ReadStream("Notes", &back), S_OK);
    EXPECT_EQ(back, QByteArray(5000, 'n'));
    EXPECT_EQ(QDir(home.Path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Resume.rsm"});
}

TEST_F(StorageTest, WhatIsNoCompoundFileIsRefusedAndKept)
{
    QByteArray bytes;
    const QString text = File("notes.txt");
    ASSERT_TRUE(testutil::WriteFile(text, "plain text, not ours"));
    Storage none;
    EXPECT_EQ(Storage::Open(text, &none), STG_E_INVALIDHEADER);
    EXPECT_EQ(WriteStream(text, "ZoravelBookmarks", "x"), STG_E_ACCESSDENIED);
    EXPECT_EQ(testutil::ReadFile(text), "plain text, not ours");

    // The signature alone does not make a compound file.
    const QString fake = File("fake.rsm");
    ASSERT_TRUE(testutil::WriteFile(fake, QByteArray(kSignature, 8) + QByteArray(600, '\0')));
    Storage s;
    EXPECT_EQ(Storage::Open(fake, &s), STG_E_INVALIDHEADER);

    EXPECT_EQ(ReadStream(File("missing.rsm"), "ZoravelBookmarks", &bytes), STG_E_FILENOTFOUND);
    EXPECT_EQ(WriteStream(File("no/such/folder/x.rsm"), "ZoravelBookmarks", "x"), STG_E_PATHNOTFOUND);

    // A compound file of another program: its stream is not ours.
    const QString foreign = File("foreign.rsm");
    ASSERT_EQ(WriteStream(foreign, "Contents", "theirs"), S_OK);
    EXPECT_EQ(ReadStream(foreign, "ZoravelBookmarks", &bytes), STG_E_FILENOTFOUND);

    // Names and sizes past the bounds.
    EXPECT_EQ(s.WriteStream("", "x"), STG_E_INVALIDNAME);
    EXPECT_EQ(s.WriteStream(QString(32, 'a'), "x"), STG_E_INVALIDNAME);
    EXPECT_EQ(s.WriteStream("a/b", "x"), STG_E_INVALIDNAME);
    EXPECT_EQ(s.WriteStream(QString(31, 'a'), "x"), S_OK);
    EXPECT_EQ(s.WriteStream("big", QByteArray(int(kMaxStreamBytes) + 1, 'b')), STG_E_DOCFILETOOLARGE);
    const QString huge = File("huge.rsm");
    QFile file(huge);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kSignature, 8);
    ASSERT_TRUE(file.resize(kMaxFileBytes + 1));
    file.close();
    EXPECT_EQ(Storage::Open(huge, &s), STG_E_DOCFILETOOLARGE);
}

}  // namespace
