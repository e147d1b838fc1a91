"""A DNS-over-TCP peer on 127.0.0.1 port 53 for Inet.mxfind. It answers MX questions from a small
zone written here: "vorlo.test" has two MX records (names compressed), "alias.vorlo.test" answers
with a CNAME to vorlo.test followed by its MX records, "broken.vorlo.test" answers with a
compression pointer that points at itself, anything else has no records. Prints "PORT 53"."""
import socket
import socketserver
import struct


def name(text):
    return b"".join(bytes([len(p)]) + p.encode() for p in text.split(".") if p) + b"\0"


def answer(query):
    ident, = struct.unpack(">H", query[:2])
    pos, labels = 12, []
    while query[pos]:
        labels.append(query[pos + 1:pos + 1 + query[pos]].decode())
        pos += 1 + query[pos]
    question = query[12:pos + 5]
    asked = ".".join(labels).lower()
    records = []
    mx = lambda pref, host: struct.pack(">HHIH", 15, 1, 60, 2 + len(host)) + struct.pack(">H", pref) + host
    if asked in ("vorlo.test", "alias.vorlo.test"):
        if asked == "alias.vorlo.test":
            target = name("vorlo.test")
            records.append(b"\xc0\x0c" + struct.pack(">HHIH", 5, 1, 60, len(target)) + target)
        # mail.<question name> as a label and a pointer to the question's name.
        records.append(b"\xc0\x0c" + mx(10, b"\x04mail\xc0\x0c"))
        records.append(b"\xc0\x0c" + mx(20, name("backup.example")))
    elif asked == "broken.vorlo.test":
        at = 12 + len(question) + 2 + 10 + 2  # where the exchange name starts
        records.append(b"\xc0\x0c" + mx(5, struct.pack(">H", 0xC000 | at)))
    header = struct.pack(">HHHHHH", ident, 0x8180, 1, len(records), 0, 0)
    return header + question + b"".join(records)


class Session(socketserver.StreamRequestHandler):
    def handle(self):
        size = self.rfile.read(2)
        if len(size) < 2:
            return
        query = self.rfile.read(struct.unpack(">H", size)[0])
        reply = answer(query)
        self.wfile.write(struct.pack(">H", len(reply)) + reply)


socketserver.ThreadingTCPServer.allow_reuse_address = True
server = socketserver.ThreadingTCPServer(("127.0.0.1", 53), Session)
server.daemon_threads = True
print("PORT 53", flush=True)
server.serve_forever()
