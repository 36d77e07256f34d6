#!/usr/bin/env bash
# Makes the seeds of fuzz_response from a real nginx: a private instance on a
# free loopback port answers the wizard's own request bytes, and every answer
# is kept as it came off the socket. A seed is one settings byte (as
# fuzz_response.cpp reads it) followed by the server's bytes.
#   capture-responses.sh   (rewrites corpus/response/nginx-*)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out="$here/corpus/response"
work=$(mktemp -d)
chmod 755 "$work" # nginx's worker reads the files as another user
nginx_pid=
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
mkdir -p "$work/www/korvant07" "$work/www/private" "$work/tmp" "$out"
printf 'secret\n' >"$work/www/private/x.zip"
printf 'hello from the download server\n' >"$work/www/korvant07/upgrade.txt"
head -c 3000 /dev/zero | tr '\0' 'k' >"$work/www/korvant07/main.zip"
python3 -c 'import sys; sys.stdout.write("".join("line %d of a text that compresses well\n" % i for i in range(200)))' \
  >"$work/www/korvant07/long.txt"
printf 'jan:{PLAIN}geheim\n' >"$work/htpasswd"
cat >"$work/nginx.conf" <<EOF
daemon off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log warn;
events { worker_connections 16; }
http {
    access_log off;
    client_body_temp_path $work/tmp;
    proxy_temp_path $work/tmp;
    fastcgi_temp_path $work/tmp;
    uwsgi_temp_path $work/tmp;
    scgi_temp_path $work/tmp;
    types { application/zip zip; text/plain txt; }
    default_type application/octet-stream;
    server {
        listen 127.0.0.1:$port;
        root $work/www;
        # Compressed text has no length known up front: nginx sends it chunked.
        gzip on;
        gzip_min_length 0;
        gzip_types text/plain;
        location = /old { return 302 /korvant07/upgrade.txt; }
        location = /moved { return 301 http://127.0.0.1:$port/korvant07/main.zip; }
        location /private/ { auth_basic "korvant"; auth_basic_user_file $work/htpasswd; }
        location = /proxy-auth { add_header Proxy-Authenticate 'Basic realm="proxy"' always; return 407; }
    }
}
EOF
nginx -c "$work/nginx.conf" -p "$work" </dev/null >"$work/nginx.out" 2>&1 &
nginx_pid=$!
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.05
done

# capture NAME SETTINGS-BYTE PATH [METHOD] [EXTRA-HEADER-LINES...]
capture() {
  python3 - "$port" "$out/nginx-$1" "$2" "$3" "${4:-GET}" "${@:5}" <<'PY'
import socket, sys
port, path, settings, target, method = sys.argv[1], sys.argv[2], int(sys.argv[3], 0), sys.argv[4], sys.argv[5]
extra = "".join(line + "\r\n" for line in sys.argv[6:])
encoding = "gzip" if "Accept-Encoding" in extra else "identity"
extra = "\r\n".join(l for l in extra.split("\r\n") if not l.startswith("Accept-Encoding")) if encoding == "gzip" else extra
request = ("%s %s HTTP/1.1\r\nHost: 127.0.0.1:%s\r\nAccept: text/html, */*\r\nAccept-Encoding: %s\r\n"
           "User-Agent: Mozilla/3.0 (compatible; Korvant Setup)\r\n%s\r\n" % (method, target, port, encoding, extra))
s = socket.create_connection(("127.0.0.1", int(port)))
s.sendall(request.encode())
s.settimeout(0.5)
data = b""
try:
    while True:
        chunk = s.recv(65536)
        if not chunk:
            break
        data += chunk
except socket.timeout:
    pass
s.close()
with open(path, "wb") as f:
    f.write(bytes([settings]) + data)
PY
}

# Settings bits: 1 follow redirects, 2 answer challenges (credentials set),
# 4 through a proxy, 8 HTTP/1.0, 16 HEAD, 32 and up: bytes per read.
capture counted 0x00 /korvant07/main.zip
capture counted-small-reads 0x60 /korvant07/upgrade.txt
capture chunked 0x00 /korvant07/long.txt GET "Accept-Encoding: gzip"
capture not-found 0x00 /korvant07/missing.zip
capture partial 0x00 /korvant07/main.zip GET "Range: bytes=100-199"
capture head 0x10 /korvant07/main.zip HEAD
capture redirect 0x00 /old
capture moved 0x00 /moved
capture unauthorized 0x02 /private/x.zip
capture proxy-auth 0x04 /proxy-auth
capture continue 0x00 /korvant07/upgrade.txt GET "Expect: 100-continue" "Content-Length: 1"
capture http10 0x08 /korvant07/upgrade.txt
# Two answers in one seed, for a client that asks again: a redirect and the
# answer of its target; a challenge and the answer to the credentials.
joined() { # NAME SETTINGS-BYTE FIRST SECOND
  { printf "\\$(printf '%03o' "$2")"; tail -c +2 "$out/nginx-$3"; tail -c +2 "$work/$4"; } >"$out/nginx-$1"
}
capture redirect-target 0x00 /korvant07/upgrade.txt
mv "$out/nginx-redirect-target" "$work/redirect-target"
joined redirect-followed 1 redirect redirect-target
capture authorized 0x00 /private/x.zip GET "Authorization: Basic amFuOmdlaGVpbQ=="
mv "$out/nginx-authorized" "$work/authorized"
joined unauthorized-answered 2 unauthorized authorized
ls -l "$out"
