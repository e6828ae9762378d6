#!/usr/bin/python3
"""A gateway on a bad day, on 127.0.0.1 only, for a bounded time.

    hostile_server.py MODE [LIFETIME_S]

Prints the port it listens on, then serves every connection in MODE until
LIFETIME_S (default 30) have passed:
  flood       streams bytes without pause (RTU over TCP)
  flood2217   answers the Telnet COM port set-up correctly, then streams bytes
  nop         endless IAC NOP, nothing else
  sb          IAC SB 44 101, then bytes without end and no IAC SE
  noack       agrees to the COM port option, never acknowledges a setting
  slow        the right Telnet answers, one byte per second
  reset       takes the request, sends part of a reply, resets the connection
  mute        the first connection is set up and closed a second later; later
              ones are taken and never answered
"""
import socket
import struct
import sys
import threading
import time

IAC, DONT, DO, WONT, WILL, SB, SE, NOP = 255, 254, 253, 252, 251, 250, 240, 241
BINARY, COM_PORT = 0, 44


def telnet_answers(data, acks):
    """What a correct server answers to the client's bytes; acks: answer the settings."""
    out = bytearray()
    i = 0
    while i < len(data):
        if data[i] != IAC or i + 1 >= len(data):
            i += 1
            continue
        verb = data[i + 1]
        if verb in (WILL, DO) and i + 2 < len(data):
            opt = data[i + 2]
            if verb == WILL:
                out += bytes([IAC, DO, opt])
            else:
                out += bytes([IAC, WILL if opt == BINARY else WONT, opt])
            i += 3
        elif verb == SB:
            end = data.find(bytes([IAC, SE]), i)
            if end < 0:
                break
            body = data[i + 2:end]
            if acks and len(body) >= 2 and body[0] == COM_PORT:
                out += bytes([IAC, SB, COM_PORT, body[1] + 100]) + body[2:] + bytes([IAC, SE])
            i = end + 2
        else:
            i += 2
    return bytes(out)


def negotiate(conn, until, acks, per_byte_s=0.0):
    """Answers the client's set-up until it has set the line (or stops asking for half a second)."""
    conn.settimeout(0.1)
    quiet_since = time.monotonic()
    while time.monotonic() < until and time.monotonic() - quiet_since < 0.5:
        try:
            data = conn.recv(4096)
        except socket.timeout:
            continue
        if not data:
            return False
        quiet_since = time.monotonic()
        answer = telnet_answers(data, acks)
        if per_byte_s:
            for b in answer:
                if time.monotonic() >= until:
                    return False
                conn.sendall(bytes([b]))
                time.sleep(per_byte_s)
        else:
            conn.sendall(answer)
        if bytes([IAC, SB, COM_PORT, 4]) in data:  # the last of the line's settings
            return True
    return True


def drain(conn, stop):
    conn.settimeout(0.2)
    while not stop.is_set():
        try:
            if not conn.recv(65536):
                return
        except socket.timeout:
            continue
        except OSError:
            return


def stream(conn, chunk, until):
    stop = threading.Event()
    reader = threading.Thread(target=drain, args=(conn, stop), daemon=True)
    reader.start()
    conn.settimeout(0.5)
    try:
        while time.monotonic() < until:
            try:
                conn.send(chunk)
            except socket.timeout:
                continue
    finally:
        stop.set()


connections = 0


def serve(conn, mode, until):
    global connections
    connections += 1
    try:
        if mode == "flood":
            stream(conn, b"\x55" * 65536, until)
        elif mode == "flood2217":
            if negotiate(conn, until, acks=True):
                stream(conn, b"\x55" * 65536, until)
        elif mode == "nop":
            stream(conn, bytes([IAC, NOP]) * 32768, until)
        elif mode == "sb":
            conn.sendall(bytes([IAC, SB, COM_PORT, 101]))
            stream(conn, b"\x41" * 65536, until)
        elif mode == "noack":
            negotiate(conn, until, acks=False)
            drain(conn, threading.Event())
        elif mode == "slow":
            negotiate(conn, until, acks=True, per_byte_s=1.0)
        elif mode == "mute":
            if connections == 1 and negotiate(conn, until, acks=True):
                time.sleep(1.0)
            else:
                drain(conn, threading.Event())
        elif mode == "reset":
            conn.settimeout(5)
            if conn.recv(256):
                conn.sendall(b"\x05\x03")
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    except OSError:
        pass
    finally:
        conn.close()


def main():
    mode = sys.argv[1]
    lifetime = float(sys.argv[2]) if len(sys.argv) > 2 else 30.0
    until = time.monotonic() + lifetime
    srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    srv.bind(("127.0.0.1", 0))
    srv.listen(8)
    srv.settimeout(0.2)
    print(srv.getsockname()[1], flush=True)
    while time.monotonic() < until:
        try:
            conn, _ = srv.accept()
        except socket.timeout:
            continue
        threading.Thread(target=serve, args=(conn, mode, until), daemon=True).start()
    srv.close()


if __name__ == "__main__":
    main()
