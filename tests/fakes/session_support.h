// What several session tests share: a status report, a receiver already reading a connection to a
// fake server, and a count of the process's open descriptors.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_service_server.h"
#include "fakes/recording_view.h"
#include "fakes/test_platform.h"
#include "session/receiver.h"
#include "session/sessiondocument.h"

namespace ostravel::testing {

inline constexpr char kUpAndPublicReport[] =
    "Server Status: \"Server Status: Server is currently up and public\"Stream IP: 10.1.2.3\"Stream Port: "
    "8010\""
    "Max. Bitrate: 320\"Status End";

// The receive loop, running on a real socket to a fake server, for user "user" / "pw".
class ConnectedReceiverTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc.SetView(&view);
        doc.SetCredentials("user", "pw");
        doc.ConnectService(SocketAddress("127.0.0.1", server.Port()));
        doc.SetDisconnected(false);
        ASSERT_TRUE(server.WaitForAccepted(1));
        receiver.Start();
    }
    void TearDown() override {
        receiver.Stop();
        receiver.Join();
        doc.CloseService();
    }

    FakeServiceServer server;
    RecordingView view;
    SessionDocument doc;
    FakeClock clock;
    Receiver receiver{doc, clock};
};

}  // namespace ostravel::testing
