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

TEST(ServiceStatusRecord, ChildEndReportsStoppedAfterARequestOrExitCodeZero) {
    ServiceStatusRecord clean;
    EXPECT_TRUE(markChildEnded(clean, 0));
    EXPECT_EQ(clean.currentState, kStateStopped);

    ServiceStatusRecord stopping;
    applyControlRequest(stopping, kControlStop);
    EXPECT_TRUE(markChildEnded(stopping, 3));
    EXPECT_EQ(stopping.currentState, kStateStopped);
    EXPECT_EQ(stopping.win32ExitCode, 0u);

    // Failing on its own: stays running so the SCM sees an unexpected end.
    ServiceStatusRecord crashed;
    EXPECT_FALSE(markChildEnded(crashed, 1));
    EXPECT_EQ(crashed.currentState, kStateRunning);
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
