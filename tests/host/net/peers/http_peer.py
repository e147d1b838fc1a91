"""An HTTP peer on 127.0.0.1 for the Inet tests, serving files it makes in FOLDER:
  small.txt   fixed text, Last-Modified 2001-09-09 01:46:40 UTC, and the header "X-Vorlo: yes"
  big.bin     300,000 bytes of a counting pattern
  a?b.txt     a name that only the escaped URL "a%3Fb.txt" reaches
  BIG_MB      when given, FOLDER/bench.bin of that many MiB (for the benchmark)
Prints "PORT n" once listening."""
import functools
import http.server
import os
import sys

folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
files = {
    "small.txt": b"hello from the loopback peer\r\n",
    "big.bin": bytes(i % 251 for i in range(300000)),
    "a?b.txt": b"question mark\r\n",
}
for name, data in files.items():
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
    os.utime(os.path.join(folder, name), (1000000000, 1000000000))
if len(sys.argv) > 2:
    chunk = bytes(range(256)) * 4096
    with open(os.path.join(folder, "bench.bin"), "wb") as f:
        for _ in range(int(sys.argv[2])):
            f.write(chunk)


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def end_headers(self):
        self.send_header("X-Vorlo", "yes")
        super().end_headers()

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=folder))
server.daemon_threads = True
print("PORT %d" % server.server_address[1], flush=True)
server.serve_forever()
