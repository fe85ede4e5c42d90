#include <gtest/gtest.h>

#include <string>

#include "worker_fixture.h"

namespace tovrak::test {
namespace {

constexpr std::uint64_t kRawSystemTime = 0x0102030405060708ull;  // the stamps of event_writer's "raw:"
constexpr std::uint64_t kRawTickCount = 0x1122334455667788ull;

TEST(EventStream, TwoRecordsThatArriveTogetherComeOutOfTwoCallsCutToTheCapacity) {
    ShellContextScope shell;
    ASSERT_EQ(
        ShellStartWorker(EventWriterPath().c_str(), L"emit:3:progress:12345 emit:4:label:text emit:5:x:y"),
        0u);
    ASSERT_TRUE(WorkerEnded());

    const struct {
        int capacity;
        int type;
        const wchar_t* label;
        const wchar_t* text;
    } cases[] = {{5, 3, L"prog", L"1234"}, {1, 4, L"", L""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capacity);
        wchar_t label[8], text[8];
        wmemset(label, L'#', 8);
        wmemset(text, L'#', 8);
        EXPECT_EQ(ShellReadEvent(label, text, c.capacity), c.type);
        EXPECT_STREQ(label, c.label);
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(label[c.capacity], L'#');  // nothing written past the capacity
    }
    // A host that wants only the type passes no buffers; the record is still taken.
    EXPECT_EQ(ShellReadEvent(nullptr, nullptr, 16), 5);
    EXPECT_EQ(ShellReadEvent(nullptr, nullptr, 16), 0);
    EXPECT_EQ(WaitForWorkerExit(), 0);
}

TEST(EventStream, ARecordInPiecesIsReturnedOnlyWhenWhole) {
    ShellContextScope shell;
    UniqueHandleKernel next(::CreateEventW(nullptr, FALSE, FALSE, L"tovrak-worker-test-next-piece"));
    ASSERT_EQ(ShellStartWorker(EventWriterPath().c_str(), L"pieces:3:tovrak-worker-test-next-piece"), 0u);
    const std::size_t piece = sizeof(WorkerEvent) / 3;
    for (std::size_t received = piece; received < 3 * piece; received += piece) {
        SCOPED_TRACE(received);
        const ULONGLONG deadline = ::GetTickCount64() + 5000;
        while (shell->eventBuffer.size() < received && ::GetTickCount64() < deadline) {
            EXPECT_EQ(ShellReadEvent(nullptr, nullptr, 8), 0);
            ::Sleep(1);
        }
        EXPECT_EQ(shell->eventBuffer.size(), received);
        EXPECT_EQ(ShellReadEvent(nullptr, nullptr, 8), 0);
        ::SetEvent(next.get());
    }
    const TakenEvent event = NextEvent();
    EXPECT_EQ(event.type, 2);
    EXPECT_EQ(event.text, L"pieces");
    EXPECT_EQ(WaitForWorkerExit(), 0);
}

TEST(EventStream, AFastWriterLosesNothing) {
    ShellContextScope shell;
    ASSERT_EQ(ShellStartWorker(EventWriterPath().c_str(), L"many:512:1"), 0u);
    std::size_t largestBuffer = 0;
    for (int i = 0; i < 512; ++i) {
        const TakenEvent event = NextEvent();
        ASSERT_EQ(event.type, 1) << i;
        ASSERT_EQ(event.text, std::to_wstring(i));
        largestBuffer = std::max(largestBuffer, shell->eventBuffer.size());
    }
    EXPECT_EQ(shell->eventsTaken, 512u);
    EXPECT_GE(largestBuffer, sizeof(WorkerEvent));  // the buffer grew beyond one record
    EXPECT_EQ(WaitForWorkerExit(), 0);
}

TEST(EventStream, ABadRecordClosesTheStreamAndTheExitReadsAsInvalidData) {
    const wchar_t* cases[] = {
        L"raw:magic",
        L"raw:type0",
        L"raw:type11",
        L"raw:label1023",
        L"raw:text1023",
        // Records behind the bad one, already buffered, must not hold back the exit.
        L"raw:magic emit:3:after:after",
    };
    for (const wchar_t* bad : cases) {
        SCOPED_TRACE(bad);
        ShellContextScope shell;
        const std::wstring arguments = std::wstring(L"emit:2:good:good ") + bad;
        ASSERT_EQ(ShellStartWorker(EventWriterPath().c_str(), arguments.c_str()), 0u);
        ASSERT_TRUE(WorkerEnded());

        EXPECT_EQ(ShellEventTime(0), 0u);  // nothing taken yet
        EXPECT_EQ(ShellEventTime(1), 0u);
        EXPECT_EQ(NextEvent().type, 2);
        EXPECT_NE(ShellEventTime(0), 0u);
        EXPECT_NE(ShellEventTime(0), kRawSystemTime);
        EXPECT_EQ(ShellReadEvent(nullptr, nullptr, 8), 0);
        EXPECT_EQ(shell->eventPipe.get(), nullptr);
        EXPECT_EQ(shell->exitOverride, 13u);
        // The rejected record is still the one taken last.
        EXPECT_EQ(ShellEventTime(0), kRawSystemTime);
        EXPECT_EQ(ShellEventTime(1), kRawTickCount);
        EXPECT_EQ(ShellReadEvent(nullptr, nullptr, 8), 0);
        EXPECT_EQ(ShellWorkerExit(), 13);
        EXPECT_EQ(shell->workerProcess.get(), nullptr);
    }
}

TEST(EventStream, TheReaderRejectsThe513thRecordEvenWhenWellFormed) {
    ShellContextScope shell;
    ASSERT_EQ(ShellStartWorker(EventWriterPath().c_str(), L"many:512:2 raw:valid"), 0u);
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(NextEvent().type, 2) << i;
    EXPECT_EQ(NextEvent(3000).type, 0);
    EXPECT_EQ(shell->eventsTaken, 513u);
    EXPECT_EQ(shell->eventPipe.get(), nullptr);
    EXPECT_EQ(WaitForWorkerExit(), 13);
}

TEST(EventStream, ATrailingPartialRecordTurnsTheExitIntoInvalidData) {
    const struct {
        const wchar_t* arguments;
        int exitCode;
    } cases[] = {
        {L"emit:2:a:b", 0},
        {L"emit:2:a:b partial:1", 13},
        {L"emit:2:a:b partial:4119 exit:9", 13},
        {L"emit:2:a:b exit:9", 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        ShellContextScope shell;
        ASSERT_EQ(ShellStartWorker(EventWriterPath().c_str(), c.arguments), 0u);
        ASSERT_TRUE(WorkerEnded());
        EXPECT_EQ(NextEvent().type, 2);
        EXPECT_EQ(WaitForWorkerExit(), c.exitCode);
    }
}

// The worker's own view: what its ShellEmit calls returned, and what reached the host.
TEST(EventStream, EmitSuppressesRepeatedProgressAndCutsLongTexts) {
    ShellContextScope shell;
    ASSERT_EQ(ShellStartWorker(EventWriterPath().c_str(),
                               L"progress:-1 progress:40 progress:40 progress:+41x long:1500 report"),
              0u);
    const TakenEvent forty = NextEvent(), fortyOne = NextEvent();
    EXPECT_EQ(forty.type, 1);
    EXPECT_EQ(forty.label, L"progress");
    EXPECT_EQ(forty.text, L"40");
    EXPECT_EQ(fortyOne.text, L"+41x");

    const TakenEvent cut = NextEvent(10000, 2048);
    EXPECT_EQ(cut.type, 2);
    ASSERT_EQ(cut.label.size(), 1023u);
    ASSERT_EQ(cut.text.size(), 1023u);
    EXPECT_EQ(cut.label[1022], L'a' + 1022 % 26);
    EXPECT_EQ(cut.text[0], L'A');

    const TakenEvent report = NextEvent();
    EXPECT_EQ(report.type, 10);
    EXPECT_EQ(report.text, L"5 0");  // every call returned 1, suppressed or not
    EXPECT_EQ(shell->eventsTaken, 4u);
    EXPECT_EQ(WaitForWorkerExit(), 0);
}

TEST(EventStream, EmitRefusesAFileOrAConsoleWithoutCountingIt) {
    ShellContextScope shell;
    TempDirectory folder;
    const std::wstring file = folder.Join(L"output.bin");
    // Were the 600 refused calls counted, the 512-record limit would refuse the records after them.
    const std::wstring arguments =
        L"tofile:" + file + L" many:600:2 toconsole many:5:2 restore many:511:3 report";
    ASSERT_EQ(ShellStartWorker(EventWriterPath().c_str(), arguments.c_str()), 0u);
    for (int i = 0; i < 511; ++i)
        ASSERT_EQ(NextEvent().type, 3) << i;
    const TakenEvent report = NextEvent();
    ASSERT_EQ(report.type, 10);
    EXPECT_EQ(WaitForWorkerExit(), 0);
    EXPECT_EQ(ReadBytes(file).size(), 0u);
    if (report.text.find(L"noconsole") != std::wstring::npos) {
        EXPECT_EQ(report.text, L"511 600 noconsole");
        GTEST_SKIP() << "no console could be allocated for a process started with CREATE_NO_WINDOW";
    }
    EXPECT_EQ(report.text, L"511 605");
}

TEST(EventStream, EmitRefusesThe513thRecordAndCountsNoSuppressedProgress) {
    ShellContextScope shell;
    // 512 records: the first progress value, 510 others and one more progress value. The repeated
    // progress values between them are suppressed and, not being counted, leave room for all 512.
    // Past the limit a repeated value is still suppressed (1), anything else is refused (0).
    const std::wstring arguments =
        L"progress:7 progress:7 progress:7 progress:7 many:510:3 progress:8 progress:8 emit:4:late:x "
        L"progress:9 exitreport";
    ASSERT_EQ(ShellStartWorker(EventWriterPath().c_str(), arguments.c_str()), 0u);
    const TakenEvent first = NextEvent();
    EXPECT_EQ(first.type, 1);
    EXPECT_EQ(first.text, L"7");
    for (int i = 0; i < 510; ++i)
        ASSERT_EQ(NextEvent().type, 3) << i;
    const TakenEvent last = NextEvent();
    EXPECT_EQ(last.type, 1);
    EXPECT_EQ(last.text, L"8");
    EXPECT_EQ(NextEvent().type, 0) << "nothing after the 512th record";
    EXPECT_EQ(shell->eventsTaken, 512u);
    // 1 + 3 + 510 + 1 + 1 calls returned 1; the late record and the new progress value returned 0.
    EXPECT_EQ(WaitForWorkerExit(), 516 * 1000 + 2);
}

}  // namespace
}  // namespace tovrak::test
