#!/usr/bin/env python3
"""A POP3 server of one connection for the STLS tests: starttls_pop3.py CERT KEY MODE RECORD

MODE: "stls" lists STLS in its CAPA reply and upgrades on STLS, "nostls" lists no STLS, "capa-err" refuses CAPA.
Prints "port=N" once it listens on 127.0.0.1, then serves one client: the greeting, CAPA, STLS and the handshake,
then USER, PASS, STAT (3 messages) and QUIT inside TLS. Every command it read, in order, goes to RECORD (one per
line, "TLS" where the handshake completed). Ends after the client's close, or after 60 s.
"""
import socket
import ssl
import sys

cert, key, mode, record = sys.argv[1:5]
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(1)
listener.settimeout(60)
print("port=%d" % listener.getsockname()[1], flush=True)
conn, _ = listener.accept()
conn.settimeout(60)
seen = []


def save():
    with open(record, "w") as out:
        out.write("".join(line + "\n" for line in seen))


def serve(stream):
    reader = stream.makefile("rb")
    while True:
        line = reader.readline()
        if not line:
            return None
        command = line.rstrip(b"\r\n").decode("utf-8", "replace")
        seen.append(command)
        save()
        verb = command.split(" ")[0].upper()
        if verb == "CAPA":
            if mode == "capa-err":
                stream.sendall(b"-ERR no capabilities here\r\n")
            else:
                stls = b"STLS\r\n" if mode == "stls" else b""
                stream.sendall(b"+OK list follows\r\nTOP\r\nUSER\r\n" + stls + b"..dotted\r\n.\r\n")
        elif verb == "STLS" and mode == "stls":
            stream.sendall(b"+OK begin TLS\r\n")
            return "tls"
        elif verb == "STAT":
            stream.sendall(b"+OK 3 300\r\n")
        elif verb == "QUIT":
            stream.sendall(b"+OK bye\r\n")
            return None
        else:
            stream.sendall(b"+OK\r\n")


conn.sendall(b"+OK POP3 ready\r\n")
try:
    if serve(conn) == "tls":
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        secured = context.wrap_socket(conn, server_side=True)
        seen.append("TLS")
        save()
        serve(secured)
except (OSError, ssl.SSLError) as error:
    seen.append("error: %s" % error)
    save()
