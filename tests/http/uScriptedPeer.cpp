#include "uScriptedPeer.h"

#include "http/uNetStack.h"
#include "platform/uSystem.h"
#include "platform/uWinsock.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace ws = platform::winsock;

TReply Answer(std::string bytes, bool close)
{
    TReply r;
    r.Parts.push_back({std::move(bytes), 0});
    r.Close = close;
    return r;
}

TScriptedPeer& TScriptedPeer::Instance()
{
    static TScriptedPeer peer;
    return peer;
}

TScriptedPeer::TScriptedPeer()
{
    // Starts the socket library for the control connections.
    NetStackAddRef();
    std::string path = platform::GetEnvVar("KORVANT_HTTP_PEER_PORTS");
    std::ifstream in(path);
    if (!(in >> DataPort >> ControlPort >> BlackholePort >> RefusedPort))
        throw std::runtime_error("scripted server ports not found in '" + path + "' (the CTest fixture starts it)");
}

std::string TScriptedPeer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(DataPort) + path;
}

std::string TScriptedPeer::Control(const std::string& command)
{
    ws::TSocket s = ws::Socket(ws::TFamily::IPv4);
    ws::TAddress loopback;
    loopback.Bytes[0] = 127;
    loopback.Bytes[3] = 1;
    if (s == ws::InvalidSocket || ws::Connect(s, loopback, ControlPort) != 0)
        throw std::runtime_error("cannot reach the scripted server's control port");
    for (size_t sent = 0; sent < command.size();) {
        int n = ws::Send(s, command.data() + sent, static_cast<int>(command.size() - sent));
        if (n <= 0)
            throw std::runtime_error("control send failed");
        sent += static_cast<size_t>(n);
    }
    ws::ShutdownSend(s);
    std::string answer;
    char buffer[65536];
    for (int n; (n = ws::Recv(s, buffer, sizeof buffer)) > 0;)
        answer.append(buffer, static_cast<size_t>(n));
    ws::Close(s);
    return answer;
}

void TScriptedPeer::Script(const std::vector<TReply>& replies)
{
    std::string command = "SCRIPT\n" + std::to_string(replies.size()) + "\n";
    for (const TReply& r : replies) {
        command += "REPLY " + std::to_string(r.ReadRequest) + " " + std::to_string(r.Close) + " " +
                   std::to_string(r.Parts.size()) + " " + std::to_string(r.LingerMs) + "\n";
        for (const TPart& p : r.Parts)
            command += std::to_string(p.Bytes.size()) + " " + std::to_string(p.DelayMs) + "\n" + p.Bytes;
    }
    if (Control(command) != "OK\n")
        throw std::runtime_error("scripted server refused the script");
}

std::vector<std::string> TScriptedPeer::Requests()
{
    std::string log = Control("LOG\n");
    std::vector<std::string> result;
    size_t at = log.find('\n');
    int count = std::stoi(log.substr(0, at));
    ++at;
    for (int i = 0; i < count; ++i) {
        size_t nl = log.find('\n', at);
        size_t length = std::stoul(log.substr(at, nl - at));
        result.push_back(log.substr(nl + 1, length));
        at = nl + 1 + length;
    }
    return result;
}
