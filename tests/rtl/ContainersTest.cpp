#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "rtl/List.h"
#include "rtl/Locks.h"
#include "rtl/SharedImage.h"
#include "rtl/StringList.h"

using namespace rtl;

TEST(List, IndexOutOfRangeRaisesWithTheIndex) {
    TList<int> l;
    l.Add(10);
    l.Add(20);
    for (int bad : {-1, 2, 1000}) {
        SCOPED_TRACE(bad);
        try {
            (void)l[bad];
            FAIL();
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message(), Format("List index out of bounds (%d)", bad));
        }
    }
    EXPECT_THROW(l.Insert(3, 0), EListError);
    l.Insert(2, 30);
    EXPECT_EQ(l.Last(), 30);
}

TEST(List, MoveRemoveAndIndexOf) {
    TList<char> l;
    for (char c : std::string("abcde"))
        l.Add(c);
    l.Move(0, 4);
    EXPECT_EQ(std::string(l.begin(), l.end()), "bcdea");
    l.Move(4, 1);
    EXPECT_EQ(std::string(l.begin(), l.end()), "bacde");
    EXPECT_EQ(l.Remove('c'), 2);
    EXPECT_EQ(l.Remove('z'), -1);
    EXPECT_EQ(l.IndexOf('e'), 3);
}

TEST(StringList, TextJoinsWithCrLfAndSplitsAnyBreak) {
    TStringList s;
    s.SetText("one\r\ntwo\nthree\rfour");
    ASSERT_EQ(s.Count(), 4);
    EXPECT_EQ(s[3], "four");
    EXPECT_EQ(s.Text(), "one\r\ntwo\r\nthree\r\nfour\r\n");
    EXPECT_EQ(s.IndexOf("TWO"), 1);
    EXPECT_THROW((void)s[4], EStringListError);
    s.SetText("");
    EXPECT_EQ(s.Count(), 0);
}

namespace {
struct Record : TSharedImage {
    static inline int freed = 0, destroyed = 0;
    ~Record() override { ++destroyed; }
    void FreeHandle() override { ++freed; }
};
} // namespace

TEST(SharedImage, LastReleaseRunsHookThenDestroys) {
    auto* r = new Record;
    r->Reference();
    r->Reference();
    TSharedImage::Release(r);
    EXPECT_EQ(Record::freed, 0);
    TSharedImage::Release(r);
    EXPECT_EQ(Record::freed, 1);
    EXPECT_EQ(Record::destroyed, 1);
    TSharedImage::Release(nullptr);
}

TEST(Synchronizer, WriterMayReenterAndReadersWaitForIt) {
    TMultiReadExclusiveWriteSynchronizer sync;
    sync.BeginWrite();
    sync.BeginWrite();
    sync.BeginRead(); // the writer may read what it writes
    sync.EndRead();
    sync.EndWrite();
    // A reader that starts while the write lock is held gets in only after its release.
    std::atomic<bool> readerStarted{false}, writeDone{false}, readerIn{false};
    bool sawWriteDone = false;
    std::thread reader([&] {
        readerStarted = true;
        sync.BeginRead();
        sawWriteDone = writeDone.load();
        readerIn = true;
        sync.EndRead();
    });
    while (!readerStarted)
        std::this_thread::yield();
    for (int i = 0; i < 1000 && !readerIn; ++i)
        std::this_thread::yield();
    EXPECT_FALSE(readerIn.load()) << "a reader entered during a write";
    writeDone = true;
    sync.EndWrite();
    reader.join();
    EXPECT_TRUE(sawWriteDone);
}

TEST(Synchronizer, ReadersNeverSeeAWriteHalfDone) {
    // Writers change two plain fields in steps; readers inside the read lock must always
    // find them equal (and the thread sanitizer build sees any unguarded access).
    TMultiReadExclusiveWriteSynchronizer sync;
    long first = 0, second = 0;
    std::atomic<int> torn{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < 2; ++w)
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                TWriteLock lock(sync);
                ++first;
                std::this_thread::yield();
                ++second;
            }
        });
    for (int r = 0; r < 3; ++r)
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                sync.BeginRead();
                if (first != second)
                    ++torn;
                sync.EndRead();
                std::this_thread::yield();
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(torn.load(), 0) << "readers saw a write half done";
    EXPECT_EQ(first, 1000);
    EXPECT_EQ(second, 1000);
}
