// The HTTP reader over a socket pair. Input: the header line buffer's size (0..255, 0: none), the
// body buffer's size less one, then the bytes the peer sends before closing. Header lines are read
// up to the empty line, then the body in buffer-sized pieces. Properties: each line is cut at its
// line feed, copied no further than its buffer and terminated; only a line without end or longer
// than the reader's buffer fails; what follows the lines comes back complete and in order.
#include <memory>

#include "fuzz_support.h"

using namespace ostravel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > 64 * 1024) return 0;  // the whole stream fits in the socket's buffer
    const int lineSize = data[0];
    const int bodySize = data[1] + 1;
    const std::string stream = fuzz::AsString(data + 2, size - 2);
    int fds[2];
    FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0);
    fuzz::SendBytes(fds[0], stream);
    ::shutdown(fds[0], SHUT_WR);

    HttpBlockingSocket http;
    http.m_socket = fds[1];
    std::size_t at = 0;  // the start of what the reader has not handed out yet
    bool failed = false;
    for (;;) {
        // Exactly the buffer's size, so that a byte past it is caught.
        const std::unique_ptr<char[]> line(lineSize > 0 ? new char[lineSize] : nullptr);
        int copied = 0;
        try {
            copied = http.ReadHeaderLine(line.get(), lineSize, 1);
        } catch (const BlockingSocketException&) {
            failed = true;
            break;
        }
        const std::size_t lineFeed = stream.find('\n', at);
        FUZZ_CHECK(lineFeed != std::string::npos);
        const std::size_t length = lineFeed + 1 - at;
        FUZZ_CHECK(length <= static_cast<std::size_t>(HttpBlockingSocket::kBufferSize));
        FUZZ_CHECK(copied == (lineSize > 0 ? static_cast<int>(std::min<std::size_t>(length, lineSize - 1)) : 0));
        if (lineSize > 0) FUZZ_CHECK(stream.compare(at, copied, line.get(), copied) == 0 && line[copied] == '\0');
        const std::string_view text = std::string_view(stream).substr(at, length);
        at = lineFeed + 1;
        if (text == "\n" || text == "\r\n") break;  // the end of the header
    }
    if (failed) {
        const std::size_t lineFeed = stream.find('\n', at);
        FUZZ_CHECK(lineFeed == std::string::npos ||
                   lineFeed + 1 - at > static_cast<std::size_t>(HttpBlockingSocket::kBufferSize));
    }
    // The body: buffered bytes first, then the rest, nothing lost, doubled or reordered.
    std::string body;
    const std::unique_ptr<char[]> piece(new char[bodySize]);
    for (int n; (n = http.ReadResponse(piece.get(), bodySize, 1)) > 0;) {
        FUZZ_CHECK(n <= bodySize);
        body.append(piece.get(), n);
    }
    FUZZ_CHECK(body == stream.substr(at));
    ::close(fds[0]);
    ::close(fds[1]);
    http.m_socket = BlockingSocket::kNoSocket;
    return 0;
}
