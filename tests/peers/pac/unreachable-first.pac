// A proxy that takes no connection (nothing listens on 8769), then tinyproxy.
function FindProxyForURL(url, host) {
    if (shExpMatch(url, "http://127.0.0.1:8707/korvant07/*"))
        return "PROXY 127.0.0.1:8769; PROXY 127.0.0.1:8708; DIRECT";
    return "DIRECT";
}
