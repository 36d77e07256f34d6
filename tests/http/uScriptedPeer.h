#pragma once
// The test side of scripted_server.py: tell it what to answer, read back the
// bytes the client sent. Control traffic uses the bare socket calls, so a
// fault in the client under test cannot hide in its own test harness.
#include <string>
#include <vector>

struct TPart {
    std::string Bytes;
    int DelayMs = 0;
};

struct TReply {
    std::vector<TPart> Parts;
    bool ReadRequest = true; // wait for the request before answering
    bool Close = true;       // close after the last part
    int LingerMs = 0;        // without Close: how long to keep the connection
};

// One reply made of one piece, closing afterwards.
TReply Answer(std::string bytes, bool close = true);

class TScriptedPeer {
public:
    static TScriptedPeer& Instance();

    void Script(const std::vector<TReply>& replies);
    std::vector<std::string> Requests();
    std::string Url(const std::string& path) const;

    int DataPort = 0, ControlPort = 0, BlackholePort = 0, RefusedPort = 0;

private:
    TScriptedPeer();
    std::string Control(const std::string& command);
};
