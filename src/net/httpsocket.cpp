// The HTTP line reader over a blocking socket, and the on-screen format of a socket error.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "net/blockingsocket.h"
#include "platform/clock.h"

// ---------------------------------------------------------------------------------------------------
// HttpBlockingSocket

HttpBlockingSocket::HttpBlockingSocket() : m_readBuffer(new char[kBufferSize]) {}

HttpBlockingSocket::~HttpBlockingSocket() { delete[] m_readBuffer; }

int HttpBlockingSocket::ReadHeaderLine(char* destination, int size, int seconds) {
    int searchFrom = 0;
    const char* lineFeed = nullptr;
    for (;;) {
        lineFeed = static_cast<const char*>(
            std::memchr(m_readBuffer + searchFrom, '\n', static_cast<size_t>(m_readLength - searchFrom)));
        if (lineFeed != nullptr) {
            break;
        }
        if (m_readLength == kBufferSize) {
            // A line longer than the buffer can never complete; waiting for more would not help.
            throw BlockingSocketException("ReadHeaderLine");
        }
        const int received = Receive(m_readBuffer + m_readLength, kBufferSize - m_readLength, seconds);
        if (received <= 0) {
            throw BlockingSocketException("ReadHeaderLine");
        }
        searchFrom = m_readLength;
        m_readLength += received;
    }

    const int lineLength = static_cast<int>(lineFeed - m_readBuffer) + 1;
    int copied = 0;
    if (destination != nullptr && size > 0) {
        copied = (std::min)(lineLength, size - 1);
        std::memcpy(destination, m_readBuffer, static_cast<size_t>(copied));
        destination[copied] = '\0';
    }
    // The whole line goes, even when the copy was cut short: the next call starts at the next line.
    m_readLength -= lineLength;
    std::memmove(m_readBuffer, m_readBuffer + lineLength, static_cast<size_t>(m_readLength));
    return copied;
}

int HttpBlockingSocket::ReadResponse(char* destination, int size, int seconds) {
    int count = 0;
    if (m_readLength > 0 && size > 0) {
        // Never past the destination: what does not fit stays buffered for the next call.
        count = (std::min)(m_readLength, size);
        std::memcpy(destination, m_readBuffer, static_cast<size_t>(count));
        m_readLength -= count;
        std::memmove(m_readBuffer, m_readBuffer + count, static_cast<size_t>(m_readLength));
    }
    while (count < size) {
        const int received = Receive(destination + count, (std::min)(kBufferSize, size - count), seconds);
        if (received <= 0) {
            break;
        }
        count += received;
    }
    return count;
}

// ---------------------------------------------------------------------------------------------------

void LogSocketError(TextSink& sink, const char* context, const BlockingSocketException& error) {
    const std::tm utc = ostravel::UtcCalendar(std::time(nullptr));
    char timeText[50];
    std::strftime(timeText, sizeof timeText, "%m/%d/%y %H:%M:%S GMT", &utc);
    char message[50];
    error.GetErrorMessage(message, 49);
    char line[200];
    std::snprintf(line, sizeof line, "WINSOCK ERROR--%s %s -- %s\r\n", context != nullptr ? context : "",
                  message, timeText);
    sink.AppendText(line);
}
