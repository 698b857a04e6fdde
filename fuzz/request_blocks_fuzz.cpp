// Request blocks from any user name, password, command word and action: a block is always its
// size, holds the text then zeros, and a text that does not fit goes nowhere (refused, never cut).
// Sent through the session's one procedure on a real loopback connection.
#include <fuzzer/FuzzedDataProvider.h>

#include "session/sessiondocument.h"
#include "fakes/recording_view.h"
#include "fuzz_support.h"
#include "protocol/requests.h"
#include "session/sending.h"

using namespace ostravel;

namespace {

struct Session {
    fuzz::Listener listener;
    testing::RecordingView view;
    SessionDocument doc;
    int server = -1;

    Session() {
        doc.SetView(&view);
        doc.ConnectService(listener.Address());
        server = listener.Accept();
    }
};

void CheckBlock(const std::vector<char>& block, std::string_view text, std::size_t size) {
    FUZZ_CHECK(block.size() == size);
    const std::size_t kept = std::min(text.size(), size);
    FUZZ_CHECK(std::string_view(block.data(), kept) == text.substr(0, kept));
    for (std::size_t i = kept; i < size; ++i) FUZZ_CHECK(block[i] == '\0');
    FUZZ_CHECK(FitsBlock(text, size) == (text.size() < size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Session session;
    FuzzedDataProvider in(data, size);
    const std::string word = in.ConsumeRandomLengthString(64);
    const std::string user = in.ConsumeRandomLengthString(300);
    const std::string password = in.ConsumeRandomLengthString(300);
    const std::string action = in.ConsumeRandomLengthString(64);
    const std::size_t blockSize = in.PickValueInArray({kCommandBlockSize, kSettingsBlockSize, kLogOffBlockSize});
    const std::string settings = in.ConsumeRemainingBytesAsString();

    const std::string command = ComposeCommandRequest(word, user, password, action);
    FUZZ_CHECK(command == word + LoginPart(user, password) + (action.empty() ? "" : "&action=" + action));
    const std::string setRequest = ComposeSettingsRequest("shoutcast_dj_setconfig,", user, password, settings);
    FUZZ_CHECK(setRequest.find(' ') == std::string::npos);
    FUZZ_CHECK(setRequest.size() == std::string("shoutcast_dj_setconfig,").size() + LoginPart(user, password).size() +
                                        std::string("&config=").size() + settings.size());
    for (const std::string& text : {command, setRequest, std::string(kLogOffNotice), SecondLoginBlockText(user, password)}) {
        for (const std::size_t blockSize : {kCommandBlockSize, kSettingsBlockSize, kLogOffBlockSize}) {
            CheckBlock(MakeBlock(text, blockSize), text, blockSize);
        }
    }

    // Through the sending procedure: exactly one whole block on the wire, or nothing and a message.
    SessionDocument& doc = session.doc;
    doc.SetLoginId(1);
    const std::string& text = blockSize == kSettingsBlockSize ? setRequest : command;
    session.view.ClearMessages();
    const SendResult result = SendRequestText(doc, text, blockSize);
    std::string wire;
    if (result == SendResult::Sent) {
        FUZZ_CHECK(text.size() < blockSize);
        while (wire.size() < blockSize) FUZZ_CHECK(fuzz::ReadAvailable(session.server, wire, 5000));
        FUZZ_CHECK(wire.size() == blockSize);
        CheckBlock(std::vector<char>(wire.begin(), wire.end()), text, blockSize);
        FUZZ_CHECK(session.view.Lines().empty());
    } else {
        FUZZ_CHECK(result == SendResult::TooLong && text.size() >= blockSize);
        FUZZ_CHECK(doc.LoginId() == 1);  // a refusal leaves the session alone
        FUZZ_CHECK(session.view.Lines().size() == 1);
    }
    fuzz::ReadAvailable(session.server, wire);
    FUZZ_CHECK(wire.size() == (result == SendResult::Sent ? blockSize : 0));
    doc.SetLoginId(0);
    FUZZ_CHECK(SendRequestText(doc, "x", blockSize) == SendResult::NotLoggedIn);
    return 0;
}
