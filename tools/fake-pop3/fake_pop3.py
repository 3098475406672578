#!/usr/bin/env python3
"""A scripted fake POP3 server on 127.0.0.1, for black-box and Wine tests of the mailbox probe.

    fake_pop3.py [--port N] [--sessions N] [--record FILE] STEP...
    fake_pop3.py --refuse

Prints "port=N" and "pid=P" once it listens, then serves SESSIONS connections (default 1) one after the other,
running the steps on each; after the steps it stays silent and records until the client closes. Every byte
received is appended to FILE at once, so a test can compare exactly what the client sent. Steps:

    send:TEXT        send TEXT (backslash escapes: \\r \\n \\t \\xNN)
    line             wait until the client has sent a line (through its LF)
    pause:MS         send nothing for MS milliseconds
    trickle:MS:TEXT  send TEXT one byte at a time, MS milliseconds before each
    close            shut down the sending side (the client sees the close); keep recording
    reset            abort the connection with a reset
    login            shorthand for: send:+OK ready\\r\\n line send:+OK\\r\\n line send:+OK\\r\\n line

With --refuse it only holds a port: bound, never listening, so every connection to it is refused and no other
program can take the port meanwhile (a port that was merely free a moment ago may by then be another test's server,
whose first connection would be taken). It prints the same two lines and runs until it is stopped.

Stop it by its process id (SIGTERM) when it should end early.
"""
import argparse
import os
import signal
import socket
import struct
import sys
import time


def unescape(text):
    return text.encode("utf-8").decode("unicode_escape").encode("latin-1")


def expand(steps):
    for step in steps:
        if step == "login":
            yield from ["send:+OK ready\\r\\n", "line", "send:+OK\\r\\n", "line", "send:+OK\\r\\n", "line"]
        else:
            yield step


class Session:
    def __init__(self, connection, record):
        self.connection = connection
        self.record = record
        self.pending = b""
        self.open = True

    def receive(self, timeout):
        """Records what arrives within `timeout` seconds; False once the client has closed."""
        self.connection.settimeout(timeout)
        try:
            data = self.connection.recv(4096)
        except socket.timeout:
            return True
        except OSError:
            data = b""
        if not data:
            self.open = False
            return False
        self.pending += data
        if self.record:
            with open(self.record, "ab") as stream:
                stream.write(data)
        return True

    def pause(self, milliseconds):
        until = time.monotonic() + milliseconds / 1000
        while self.open and time.monotonic() < until:
            self.receive(max(0.001, min(0.02, until - time.monotonic())))

    def run(self, steps):
        for step in steps:
            if not self.open:
                break
            kind, _, argument = step.partition(":")
            if kind == "send":
                self.connection.sendall(unescape(argument))
            elif kind == "line":
                while self.open and b"\n" not in self.pending:
                    self.receive(0.02)
                self.pending = self.pending[self.pending.find(b"\n") + 1:]
            elif kind == "pause":
                self.pause(int(argument))
            elif kind == "trickle":
                milliseconds, _, text = argument.partition(":")
                for byte in unescape(text):
                    self.pause(int(milliseconds))
                    if not self.open:
                        break
                    self.connection.sendall(bytes([byte]))
            elif kind == "close":
                self.connection.shutdown(socket.SHUT_WR)
            elif kind == "reset":
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                self.connection.close()
                return
            else:
                raise SystemExit(f"fake_pop3: unknown step {step!r}")
        while self.open:
            self.receive(0.05)
        self.connection.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--sessions", type=int, default=1)
    parser.add_argument("--record")
    parser.add_argument("--refuse", action="store_true")
    parser.add_argument("steps", nargs="*")
    args = parser.parse_args()
    steps = list(expand(args.steps))
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    if args.refuse:
        print(f"port={listener.getsockname()[1]}", flush=True)
        print(f"pid={os.getpid()}", flush=True)
        while True:
            signal.pause()
    listener.listen(16)
    if args.record:
        open(args.record, "wb").close()
    print(f"port={listener.getsockname()[1]}", flush=True)
    print(f"pid={os.getpid()}", flush=True)
    for _ in range(args.sessions):
        connection, _ = listener.accept()
        Session(connection, args.record).run(steps)
    listener.close()


if __name__ == "__main__":
    sys.exit(main())
