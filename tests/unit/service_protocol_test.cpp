#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/shutdown.h"
#include "service/status.h"
#include "tests/support/log_capture.h"

namespace {

// A pretend pipe that records what was written and how often it was closed.
struct FakePipe {
    std::string written;
    int writes = 0;
    int closes = 0;
    bool failWrites = false;
};

bool fakeWrite(void* handle, const char* data, size_t size, uint32_t* error) {
    auto* pipe = static_cast<FakePipe*>(handle);
    ++pipe->writes;
    if (pipe->failWrites) {
        *error = 232;  // ERROR_NO_DATA: the reader is gone
        return false;
    }
    pipe->written.append(data, size);
    return true;
}

void fakeClose(void* handle) { ++static_cast<FakePipe*>(handle)->closes; }

const ShutdownChannelOps fakeOps = {fakeWrite, fakeClose};

}  // namespace

TEST(ServiceStatusRecord, StartsRunningWithTheDocumentedFields) {
    ServiceStatusRecord status;
    EXPECT_EQ(status.serviceType, 0x30u);
    EXPECT_EQ(status.currentState, kStateRunning);
    EXPECT_EQ(status.controlsAccepted, 5u);
    EXPECT_EQ(status.win32ExitCode, 0u);
    EXPECT_EQ(status.serviceSpecificExitCode, 0u);
    EXPECT_EQ(status.checkPoint, 0u);
    EXPECT_EQ(status.waitHint, 50000u);
}

TEST(ServiceStatusRecord, StopAndShutdownBecomeStopPendingAndAskForTheShutdownLine) {
    ServiceStatusRecord status;
    ControlOutcome stop = applyControlRequest(status, kControlStop);
    EXPECT_EQ(stop.reportNumber, 2);
    EXPECT_TRUE(stop.sendShutdown);
    EXPECT_EQ(status.currentState, kStateStopPending);
    EXPECT_EQ(status.checkPoint, 0u);

    ControlOutcome shutdown = applyControlRequest(status, kControlShutdown);
    EXPECT_EQ(shutdown.reportNumber, 1);
    EXPECT_TRUE(shutdown.sendShutdown);
    EXPECT_EQ(status.currentState, kStateStopPending);
    EXPECT_EQ(status.checkPoint, 1u);
    applyControlRequest(status, kControlShutdown);
    EXPECT_EQ(status.checkPoint, 2u);
}

TEST(ServiceStatusRecord, InterrogateAndUnknownControlsOnlyReport) {
    ServiceStatusRecord status;
    for (uint32_t control : {kControlInterrogate, 2u, 3u, 128u}) {
        ControlOutcome outcome = applyControlRequest(status, control);
        EXPECT_EQ(outcome.reportNumber, 3);
        EXPECT_FALSE(outcome.sendShutdown);
        EXPECT_EQ(status.currentState, kStateRunning);
    }
}

TEST(ServiceStatusRecord, ChildStartDoesNotUndoAnEarlyStop) {
    ServiceStatusRecord status;
    applyControlRequest(status, kControlStop);
    markChildStarted(status);
    EXPECT_EQ(status.currentState, kStateStopPending);

    ServiceStatusRecord quiet;
    markChildStarted(quiet);
    EXPECT_EQ(quiet.currentState, kStateRunning);
}

TEST(ServiceStatusRecord, ChildEndAlwaysReportsStoppedWithHowItEnded) {
    ServiceStatusRecord clean;
    markChildEnded(clean, 0, false);
    EXPECT_EQ(clean.currentState, kStateStopped);
    EXPECT_EQ(clean.win32ExitCode, 0u);

    // Asked to stop: however the child ended, a clean stop.
    ServiceStatusRecord stopping;
    applyControlRequest(stopping, kControlStop);
    markChildEnded(stopping, 3, false);
    EXPECT_EQ(stopping.currentState, kStateStopped);
    EXPECT_EQ(stopping.win32ExitCode, 0u);
    EXPECT_EQ(stopping.serviceSpecificExitCode, 0u);

    // Failing on its own: the SCM hears the child's code, so recovery runs.
    for (uint32_t code : {7u, 1u, 0xC0000005u}) {
        ServiceStatusRecord failed;
        markChildEnded(failed, code, false);
        EXPECT_EQ(failed.currentState, kStateStopped);
        EXPECT_EQ(failed.win32ExitCode, 1066u);
        EXPECT_EQ(failed.serviceSpecificExitCode, code);
    }

    // Ended by force after the stop timeout: the Win32 code says so.
    ServiceStatusRecord forced;
    applyControlRequest(forced, kControlShutdown);
    markChildEnded(forced, 1, true);
    EXPECT_EQ(forced.currentState, kStateStopped);
    EXPECT_EQ(forced.win32ExitCode, 1053u);
    EXPECT_EQ(forced.serviceSpecificExitCode, 0u);
}

TEST(ServiceStatusRecord, StopProgressAdvancesOnlyWhileStopping) {
    ServiceStatusRecord status;
    EXPECT_FALSE(advanceStopProgress(status));
    EXPECT_EQ(status.checkPoint, 0u);
    applyControlRequest(status, kControlStop);
    EXPECT_TRUE(advanceStopProgress(status));
    EXPECT_TRUE(advanceStopProgress(status));
    EXPECT_EQ(status.checkPoint, 2u);
    EXPECT_EQ(status.currentState, kStateStopPending);
    markChildEnded(status, 0, false);
    EXPECT_FALSE(advanceStopProgress(status));
}

TEST(ServiceStopTimeout, DefaultsBoundsAndTickWrap) {
    EXPECT_EQ(stopTimeoutMilliseconds(0), 30000u);
    EXPECT_EQ(stopTimeoutMilliseconds(-5), 30000u);
    EXPECT_EQ(stopTimeoutMilliseconds(3), 3000u);
    EXPECT_EQ(stopTimeoutMilliseconds(2000000000), 86400000u);
    EXPECT_FALSE(stopOverdue(1000, 3999, 3000));
    EXPECT_TRUE(stopOverdue(1000, 4000, 3000));
    // The tick count wrapped between the request and now.
    EXPECT_FALSE(stopOverdue(0xFFFFFC18u, 0x000003E8u, 3000));
    EXPECT_TRUE(stopOverdue(0xFFFFFC18u, 0x000007D0u, 3000));
}

TEST(ServiceStatusRecord, StartFailureIsStoppedWithTheServiceSpecificCodes) {
    ServiceStatusRecord status;
    applyControlRequest(status, kControlStop);
    markStartFailed(status);
    EXPECT_EQ(status.currentState, kStateStopped);
    EXPECT_EQ(status.win32ExitCode, 1066u);
    EXPECT_EQ(status.serviceSpecificExitCode, 5000u);
    // A stopped service has nothing left to stop.
    ControlOutcome late = applyControlRequest(status, kControlStop);
    EXPECT_FALSE(late.sendShutdown);
    EXPECT_EQ(status.currentState, kStateStopped);
}

TEST(ServiceShutdownChannel, MessageIsTheLowByteInDecimalAndALineFeed) {
    char buffer[8];
    EXPECT_EQ(formatShutdownMessage(0, buffer, sizeof buffer), 2u);
    EXPECT_EQ(std::string(buffer, 2), "0\n");
    EXPECT_EQ(formatShutdownMessage(0x1FF, buffer, sizeof buffer), 4u);
    EXPECT_EQ(std::string(buffer, 4), "255\n");
    EXPECT_EQ(formatShutdownMessage(-1, buffer, sizeof buffer), 4u);
    EXPECT_EQ(std::string(buffer, 4), "255\n");
    EXPECT_EQ(formatShutdownMessage(7, buffer, 2), 0u);
}

TEST(ServiceShutdownChannel, StopWritesOneLineAndClosesOnce) {
    clearCapturedLog();
    FakePipe pipe;
    ShutdownChannel channel;
    attachShutdownChannel(channel, &pipe, fakeOps);
    EXPECT_EQ(pipe.writes, 0);
    requestShutdown(channel, 0, fakeOps);
    EXPECT_EQ(pipe.written, "0\n");
    EXPECT_EQ(pipe.closes, 1);
    std::vector<std::wstring> expected = {L"sending shutdown1 0", L"shutdown sent"};
    EXPECT_EQ(capturedLog(), expected);
}

TEST(ServiceShutdownChannel, SecondRequestNeitherWritesNorClosesAgain) {
    FakePipe pipe;
    ShutdownChannel channel;
    attachShutdownChannel(channel, &pipe, fakeOps);
    requestShutdown(channel, 0, fakeOps);
    clearCapturedLog();
    requestShutdown(channel, 0, fakeOps);
    requestShutdown(channel, 0, fakeOps);
    EXPECT_EQ(pipe.writes, 1);
    EXPECT_EQ(pipe.closes, 1);
    EXPECT_EQ(pipe.written, "0\n");
    ASSERT_EQ(capturedLog().size(), 2u);
    EXPECT_EQ(capturedLog()[0], L"shutdown channel already closed, request 0 ignored");
}

TEST(ServiceShutdownChannel, EarlyRequestIsKeptAndSentWhenTheChannelArrives) {
    clearCapturedLog();
    FakePipe pipe;
    ShutdownChannel channel;
    requestShutdown(channel, 0, fakeOps);
    EXPECT_TRUE(logContains(L"no shutdown channel yet, request 0 kept until the child runs"));
    EXPECT_EQ(pipe.writes, 0);
    attachShutdownChannel(channel, &pipe, fakeOps);
    EXPECT_EQ(pipe.written, "0\n");
    EXPECT_EQ(pipe.closes, 1);
    EXPECT_TRUE(logContains(L"shutdown sent"));
    requestShutdown(channel, 0, fakeOps);
    EXPECT_EQ(pipe.writes, 1);
    EXPECT_EQ(pipe.closes, 1);
}

TEST(ServiceShutdownChannel, FailedWriteIsLoggedAndTheChannelClosedAllTheSame) {
    clearCapturedLog();
    FakePipe pipe;
    pipe.failWrites = true;
    ShutdownChannel channel;
    attachShutdownChannel(channel, &pipe, fakeOps);
    requestShutdown(channel, 0, fakeOps);
    std::vector<std::wstring> expected = {L"sending shutdown1 0", L"sending shutdown failed", L"error code 232",
                                          L"shutdown sent"};
    EXPECT_EQ(capturedLog(), expected);
    EXPECT_EQ(pipe.closes, 1);
}
