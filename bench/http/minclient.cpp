// The floor for any HTTP client under Wine with 32 KiB receives: one GET,
// then wait with select and receive 32 KiB at a time straight into a file.
// No parsing beyond finding the end of the head. Benchmark use only.
//   minclient.exe HOST PORT PATH OUTFILE [RECVSIZE]
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "platform/uWinOwners.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct TSocketTraits {
    using TValue = SOCKET;
    static constexpr SOCKET Invalid() noexcept { return INVALID_SOCKET; }
    static void Close(SOCKET s) noexcept { closesocket(s); }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5)
        return 2;
    int recvSize = argc > 5 ? std::atoi(argv[5]) : 32768;
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    const platform::TOwner<TSocketTraits> owned(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    const SOCKET s = owned.Get();
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<u_short>(std::atoi(argv[2])));
    a.sin_addr.s_addr = inet_addr(argv[1]);
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return 1;
    std::string request = std::string("GET ") + argv[3] + " HTTP/1.1\r\nHost: " + argv[1] + "\r\nConnection: close\r\n\r\n";
    send(s, request.data(), static_cast<int>(request.size()), 0);
    const platform::win::TKernelHandle file(
        CreateFileA(argv[4], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<char> buffer(static_cast<size_t>(recvSize));
    std::string head;
    bool inBody = false;
    for (;;) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        if (select(0, &set, nullptr, nullptr, nullptr) <= 0)
            break;
        int n = recv(s, buffer.data(), recvSize, 0);
        if (n <= 0)
            break;
        const char* body = buffer.data();
        int count = n;
        if (!inBody) {
            head.append(buffer.data(), static_cast<size_t>(n));
            size_t end = head.find("\r\n\r\n");
            if (end == std::string::npos)
                continue;
            inBody = true;
            size_t skip = end + 4 - (head.size() - static_cast<size_t>(n));
            body += skip;
            count -= static_cast<int>(skip);
        }
        DWORD written;
        WriteFile(file.Get(), body, static_cast<DWORD>(count), &written, nullptr);
    }
    return 0;
}
