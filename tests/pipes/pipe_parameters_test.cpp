// How the three listeners create their pipes, read back from the server end as a client program
// would experience it: one instance, inbound, the buffer sizes and read mode, the default wait, the
// open DACL and the refusal of remote clients.

#include <windows.h>
#include <aclapi.h>
#include <winternl.h>

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "common/unique_handle.h"
#include "pipe_test_support.h"
#include "tovrak/renderer.h"

namespace tovrak::test {
namespace {

struct Channel {
    const char* label;
    uint32_t(__stdcall* listen)(const wchar_t*, const wchar_t*) noexcept;
    const wchar_t* prefix;
    HANDLE (*pipe)(const ShellContext&);
    bool message;
    DWORD inputBufferBytes;
    DWORD defaultTimeoutMs;
};

const Channel kChannels[] = {
    {"ready", ShellListenReady, kReadyPrefix,
     [](const ShellContext& c) { return c.readyListener.pipe.get(); }, false, 0, 30000},
    {"surface ready", ShellListenSurfaceReady, kSurfaceReadyPrefix,
     [](const ShellContext& c) { return c.surfaceReadyListener.pipe.get(); }, false, 0, 30000},
    {"launch status", ShellListenLaunchStatus, kStatusPrefix,
     [](const ShellContext& c) { return c.launchStatusListener.pipe.get(); }, true, 4, 1000},
};

// FILE_PIPE_LOCAL_INFORMATION, which winternl.h leaves out.
struct PipeLocalInformation {
    ULONG namedPipeType;
    ULONG namedPipeConfiguration;
    ULONG maximumInstances;
    ULONG currentInstances;
    ULONG inboundQuota;
    ULONG readDataAvailable;
    ULONG outboundQuota;
    ULONG writeQuotaAvailable;
    ULONG namedPipeState;
    ULONG namedPipeEnd;
};
constexpr ULONG kFilePipeLocalInformation = 24;
constexpr ULONG kPipeRejectsRemoteClients = 2;  // in namedPipeType
constexpr ULONG kPipeInbound = 0;               // namedPipeConfiguration

bool QueryPipeLocalInformation(HANDLE pipe, PipeLocalInformation& information) {
    using QueryFunction = LONG(NTAPI*)(HANDLE, IO_STATUS_BLOCK*, PVOID, ULONG, ULONG);
    const auto query = reinterpret_cast<QueryFunction>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationFile")));
    IO_STATUS_BLOCK status{};
    return query && query(pipe, &status, &information, sizeof(information), kFilePipeLocalInformation) >= 0;
}

// True when the DACL of the object behind `handle` is present and null.
bool HasNullDacl(HANDLE handle, bool* readable) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    *readable = ::GetSecurityInfo(handle, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                  &dacl, nullptr, &descriptor) == ERROR_SUCCESS;
    if (!*readable) return false;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    const bool present =
        ::GetSecurityDescriptorControl(descriptor, &control, &revision) && (control & SE_DACL_PRESENT) != 0;
    ::LocalFree(descriptor);
    return present && dacl == nullptr;
}

// A pipe the test makes itself with the flag or descriptor in question, to tell whether the platform
// reports it at all.
UniqueFile ControlPipe(DWORD pipeMode, bool nullDacl) {
    SECURITY_DESCRIPTOR descriptor{};
    ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, FALSE};
    return UniqueFile(::CreateNamedPipeW(PipeName(L"\\\\.\\pipe\\tovrak-test-control-", NewPipeId()).c_str(),
                                         PIPE_ACCESS_INBOUND, pipeMode, 1, 0, 0, 1000,
                                         nullDacl ? &attributes : nullptr));
}

TEST(PipeParameters, OneInboundInstanceWithTheChannelsBuffersAndReadMode) {
    ShellContextScope scope;
    const std::wstring client = ProgramPath(L"pipe_client.exe");
    for (const Channel& channel : kChannels) {
        SCOPED_TRACE(channel.label);
        const std::wstring id = NewPipeId();
        ASSERT_EQ(channel.listen(id.c_str(), client.c_str()), 0u);
        const HANDLE pipe = channel.pipe(scope.context());

        DWORD flags = 0, outputBytes = 99, inputBytes = 99, maxInstances = 0;
        ASSERT_TRUE(::GetNamedPipeInfo(pipe, &flags, &outputBytes, &inputBytes, &maxInstances));
        EXPECT_EQ(flags, DWORD{PIPE_SERVER_END} | (channel.message ? DWORD{PIPE_TYPE_MESSAGE} : 0));
        EXPECT_EQ(outputBytes, 0u);
        EXPECT_EQ(inputBytes, channel.inputBufferBytes);
        EXPECT_EQ(maxInstances, 1u);

        DWORD state = 0, instances = 0;
        ASSERT_TRUE(::GetNamedPipeHandleState(pipe, &state, &instances, nullptr, nullptr, nullptr, 0));
        EXPECT_EQ(state, channel.message ? DWORD{PIPE_READMODE_MESSAGE} : 0)
            << "blocking, in the pipe's read mode";
        EXPECT_EQ(instances, 1u);

        PipeLocalInformation information{};
        if (QueryPipeLocalInformation(pipe, information)) {
            EXPECT_EQ(information.namedPipeConfiguration, kPipeInbound);
        }

        // The one instance is taken: nobody can open a second server end under the name.
        UniqueFile second(::CreateNamedPipeW(PipeName(channel.prefix, id).c_str(), PIPE_ACCESS_INBOUND,
                                             PIPE_TYPE_BYTE, PIPE_UNLIMITED_INSTANCES, 0, 0, 0, nullptr));
        const DWORD error = ::GetLastError();
        EXPECT_FALSE(second);
        EXPECT_TRUE(error == ERROR_PIPE_BUSY || error == ERROR_ACCESS_DENIED) << error;
    }
}

TEST(PipeParameters, AClientWaitsForTheBusyStatusPipeForItsOneSecondDefault) {
    ShellContextScope scope;
    const std::wstring id = NewPipeId();
    ASSERT_EQ(ShellListenLaunchStatus(id.c_str(), ProgramPath(L"pipe_client.exe").c_str()), 0u);
    const std::wstring name = PipeName(kStatusPrefix, id);
    UniqueFile first(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(first);
    const ULONGLONG before = ::GetTickCount64();
    EXPECT_FALSE(::WaitNamedPipeW(name.c_str(), NMPWAIT_USE_DEFAULT_WAIT));
    const ULONGLONG waited = ::GetTickCount64() - before;
    EXPECT_GE(waited, 950u);
    EXPECT_LT(waited, 5000u);
}

TEST(PipeParameters, LetAnyLocalProcessConnectThroughANullDacl) {
    bool readable = false;
    const UniqueFile control = ControlPipe(PIPE_TYPE_BYTE, true);
    ASSERT_TRUE(control);
    if (!HasNullDacl(control.get(), &readable))
        GTEST_SKIP() << "the platform does not report the null DACL given to CreateNamedPipeW"
                     << (readable ? "" : " (GetSecurityInfo fails on a pipe)");

    ShellContextScope scope;
    const std::wstring client = ProgramPath(L"pipe_client.exe");
    for (const Channel& channel : kChannels) {
        SCOPED_TRACE(channel.label);
        ASSERT_EQ(channel.listen(NewPipeId().c_str(), client.c_str()), 0u);
        EXPECT_TRUE(HasNullDacl(channel.pipe(scope.context()), &readable));
    }
}

TEST(PipeParameters, RejectRemoteClients) {
    const UniqueFile control = ControlPipe(PIPE_TYPE_BYTE | PIPE_REJECT_REMOTE_CLIENTS, false);
    ASSERT_TRUE(control);
    PipeLocalInformation information{};
    if (!QueryPipeLocalInformation(control.get(), information) ||
        !(information.namedPipeType & kPipeRejectsRemoteClients))
        GTEST_SKIP() << "the platform does not report PIPE_REJECT_REMOTE_CLIENTS through the pipe handle";

    ShellContextScope scope;
    const std::wstring client = ProgramPath(L"pipe_client.exe");
    for (const Channel& channel : kChannels) {
        SCOPED_TRACE(channel.label);
        ASSERT_EQ(channel.listen(NewPipeId().c_str(), client.c_str()), 0u);
        ASSERT_TRUE(QueryPipeLocalInformation(channel.pipe(scope.context()), information));
        EXPECT_TRUE(information.namedPipeType & kPipeRejectsRemoteClients);
    }
}

}  // namespace
}  // namespace tovrak::test
