#!/usr/bin/env python3
"""A demo POP3 mailbox for `make run`: it gives Pigeonet something to announce.

Serves 127.0.0.1 only. Any user name and password are accepted. The mailbox holds a few messages at start and
gains one every minute, so the envelope rises within seconds of Pigeonet's start and again later. It answers
USER, PASS, STAT, NOOP and QUIT; it never holds real mail.

    demo_pop3.py PORT [INITIAL_COUNT] [SECONDS_PER_MESSAGE]
"""
import socketserver
import sys
import time

START = time.monotonic()


class DemoMailbox(socketserver.StreamRequestHandler):
    timeout = 60

    def reply(self, line):
        self.wfile.write(line.encode("ascii") + b"\r\n")

    def handle(self):
        self.reply("+OK Pigeonet demo mailbox ready")
        while True:
            try:
                line = self.rfile.readline(1024)
            except OSError:
                return
            if not line:
                return
            command = line.decode("latin-1").strip().split(" ", 1)[0].upper()
            if command in ("USER", "PASS", "NOOP"):
                self.reply("+OK")
            elif command == "STAT":
                count = self.server.initial + int((time.monotonic() - START) // self.server.period)
                self.reply(f"+OK {count} {count * 1024}")
            elif command == "QUIT":
                self.reply("+OK bye")
                return
            else:
                self.reply("-ERR the demo mailbox knows USER, PASS, STAT, NOOP and QUIT")


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


def main():
    port = int(sys.argv[1])
    server = Server(("127.0.0.1", port), DemoMailbox)
    server.initial = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    server.period = float(sys.argv[3]) if len(sys.argv) > 3 else 60.0
    print(f"demo-mailbox: serving 127.0.0.1:{port}, {server.initial} messages, one more every "
          f"{server.period:g} s", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
