#!/usr/bin/python3
"""Runs one script with `vorlo run` against real peers on 127.0.0.1 and compares what it prints.

  run_with_peers.py --peers smtp,pop3 --spool DIR --expected FILE.out -- RUNNER... vorlo-cli.exe run FILE.vos

The peers are started first (each on a free port it chooses), their ports reach the script in the
environment (VORLO_SMTP_<MODE>_PORT, VORLO_POP3_PORT, VORLO_HTTP_PORT; the DNS peer is on port 53), with VORLO_NET_DIR naming the spool folder in
Windows form. Every peer is stopped by its process id at the end, whatever happened."""
import argparse
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def start(command, env):
    # The first line the peer prints names its ports.
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    line = process.stdout.readline().decode().split()
    if not line:
        raise RuntimeError("peer did not start: %s" % command)
    return process, line


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--peers", default="")
    parser.add_argument("--spool", required=True)
    parser.add_argument("--expected", required=True)
    parser.add_argument("--message", default=None, help="the third message of the POP3 mailbox")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command

    shutil.rmtree(args.spool, ignore_errors=True)
    os.makedirs(args.spool)
    env = dict(os.environ, VORLO_NET_DIR=windows_path(args.spool))
    peers = []
    try:
        for name in filter(None, args.peers.split(",")):
            if name == "smtp":
                p, line = start([PYTHON, os.path.join(HERE, "peers", "smtp_peer.py"), args.spool], env)
                for item in line[1:]:
                    mode, port = item.split("=")
                    env["VORLO_SMTP_%s_PORT" % mode.upper()] = port
            elif name == "pop3":
                extra = [args.message] if args.message else []
                p, line = start([PYTHON, os.path.join(HERE, "peers", "pop3_peer.py")] + extra, env)
                env["VORLO_POP3_PORT"] = line[1]
            elif name == "http":
                p, line = start([PYTHON, os.path.join(HERE, "peers", "http_peer.py"), os.path.join(args.spool, "www")], env)
                env["VORLO_HTTP_PORT"] = line[1]
            elif name == "dns":
                p, line = start([PYTHON, os.path.join(HERE, "peers", "dns_peer.py")], env)
            else:
                raise RuntimeError("unknown peer " + name)
            peers.append(p)
        out_path = os.path.join(args.spool, "stdout.txt")
        with open(out_path, "wb") as out, open(os.path.join(args.spool, "stderr.txt"), "wb") as err:
            status = subprocess.call(command, stdout=out, stderr=err, stdin=subprocess.DEVNULL, env=env, timeout=300)
        got = open(out_path, "rb").read().decode("latin-1").replace("\r", "")
        expected = open(args.expected, "rb").read().decode("latin-1")
        if status != 0 or got != expected:
            sys.stderr.write("exit status %d\n--- expected\n%s--- got\n%s--- stderr\n%s" % (
                status, expected, got, open(os.path.join(args.spool, "stderr.txt"), "rb").read().decode("latin-1")))
            return 1
        return 0
    finally:
        for p in peers:
            p.kill()  # by its own process id
            p.wait()


sys.exit(main())
