// The download server's files through tinyproxy, everything else direct.
function FindProxyForURL(url, host) {
    if (shExpMatch(url, "http://127.0.0.1:8707/korvant07/*"))
        return "PROXY 127.0.0.1:8708; DIRECT";
    return "DIRECT";
}
