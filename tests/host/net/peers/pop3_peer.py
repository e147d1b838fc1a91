"""A POP3 peer on 127.0.0.1 for the mail tests: user "ann", password "pop", a mailbox of three
messages (the second has lines that start with dots, the third is the MESSAGE file when one is
given). Deletions take effect at QUIT; RSET undoes them. Prints "PORT n" once listening."""
import socketserver
import sys

BOX = [
    b"From: a@vorlo.test\r\nTo: ann@vorlo.test\r\nSubject: one\r\n\r\nfirst body\r\n",
    b"From: b@vorlo.test\r\nTo: ann@vorlo.test\r\nSubject: dots\r\n\r\n.\r\n..two\r\n.three\r\nend\r\n",
    b"From: c@vorlo.test\r\nTo: ann@vorlo.test\r\nSubject: three\r\n\r\nthird\r\n",
]
if len(sys.argv) > 1:
    with open(sys.argv[1], "rb") as f:
        BOX[2] = f.read()


def stuffed(message):
    lines = message.split(b"\r\n")
    return b"\r\n".join(b"." + l if l.startswith(b".") else l for l in lines)


class Session(socketserver.StreamRequestHandler):
    def reply(self, text):
        self.wfile.write(text if isinstance(text, bytes) else text.encode())

    def handle(self):
        deleted, user, authed = set(), None, False
        self.reply("+OK vorlo test peer\r\n")
        for raw in self.rfile:
            words = raw.decode("latin-1").strip().split(" ")
            cmd, args = words[0].upper(), words[1:]
            live = [i for i in range(len(BOX)) if i not in deleted]

            def number():
                n = int(args[0]) - 1 if args and args[0].isdigit() else -1
                return n if 0 <= n < len(BOX) and n not in deleted else None

            if cmd == "USER":
                user = args[0] if args else None
                self.reply("+OK\r\n")
            elif cmd == "PASS":
                authed = user == "ann" and args == ["pop"]
                self.reply("+OK logged in\r\n" if authed else "-ERR bad login\r\n")
            elif cmd == "QUIT":
                self.reply("+OK bye\r\n")
                for i in sorted(deleted, reverse=True):
                    del BOX[i]
                return
            elif not authed:
                self.reply("-ERR log in first\r\n")
            elif cmd == "NOOP":
                self.reply("+OK\r\n")
            elif cmd == "STAT":
                self.reply("+OK %d %d\r\n" % (len(live), sum(len(BOX[i]) for i in live)))
            elif cmd in ("LIST", "UIDL"):
                value = (lambda i: str(len(BOX[i]))) if cmd == "LIST" else (lambda i: "uid-%d" % (i + 1))
                if args:
                    n = number()
                    self.reply("+OK %d %s\r\n" % (n + 1, value(n)) if n is not None else "-ERR no such message\r\n")
                else:
                    self.reply("+OK %d messages\r\n" % len(live) + "".join("%d %s\r\n" % (i + 1, value(i)) for i in live) + ".\r\n")
            elif cmd in ("RETR", "TOP"):
                n = number()
                if n is None:
                    self.reply("-ERR no such message\r\n")
                    continue
                message = BOX[n]
                if cmd == "TOP":
                    head, _, body = message.partition(b"\r\n\r\n")
                    keep = int(args[1]) if len(args) > 1 and args[1].isdigit() else 0
                    message = head + b"\r\n\r\n" + b"".join(l + b"\r\n" for l in body.split(b"\r\n")[:keep])
                self.reply(b"+OK\r\n" + stuffed(message) + b".\r\n")
            elif cmd == "DELE":
                n = number()
                if n is None:
                    self.reply("-ERR no such message\r\n")
                else:
                    deleted.add(n)
                    self.reply("+OK deleted\r\n")
            elif cmd == "RSET":
                deleted.clear()
                self.reply("+OK\r\n")
            else:
                self.reply("-ERR unknown command\r\n")


server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), Session)
server.daemon_threads = True
print("PORT %d" % server.server_address[1], flush=True)
server.serve_forever()
