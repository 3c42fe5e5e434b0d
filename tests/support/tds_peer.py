#!/usr/bin/env python3
"""A scripted SQL Server stand-in for the tests: speaks enough TDS 7.4 for the unixODBC + FreeTDS client.

PRELOGIN (no encryption), LOGIN7 answered with LOGINACK, SQL batches (UCS-2) answered with rows, INFO and
ERROR tokens and DONE (error bit set after an error), ATTENTION answered with DONE (attention bit).

    tds_peer.py --script S.json --record R.jsonl [--user nobody]

Listens on a free port of 127.0.0.1 and prints it as the first line of standard output. Every login and
batch is appended to the record file as one JSON line. The script (JSON) holds:
    "databases":  names listed by "select name... from master..sysdatabases"
    "procedures": stored procedures that exist at start ("create proc <name>" adds one)
    "rules":      [{"match": regex, "reply": [tokens], "write_bak": bool, "delay": seconds}], first match
                  wins; tokens are {"info": [number, text]}, {"error": [number, text]},
                  {"rows": {"columns": [...], "rows": [[...]]}} and {"done_more": true}.
Without a rule: the listings and the procedure check answer from the script, "backup database [db] to
disk='path'" writes a .bak at path (error 3201 when it cannot), anything else gets a plain DONE.
With --user the peer drops to that account after binding, as a database server's own account writes.
"""

import argparse
import encodings.utf_16_le  # loaded before the peer drops to another account
import encodings.utf_8
import json
import os
import pwd
import re
import select
import socket
import struct
import sys
import threading
import time

PACKET_SQL_BATCH = 0x01
PACKET_REPLY = 0x04
PACKET_ATTENTION = 0x06
PACKET_LOGIN7 = 0x10
PACKET_PRELOGIN = 0x12

DONE_MORE = 0x0001
DONE_ERROR = 0x0002
DONE_COUNT = 0x0010
DONE_ATTENTION = 0x0020

COLLATION = bytes([0x09, 0x04, 0xD0, 0x00, 0x34])
PACKET_SIZE = 4096


def ucs2(text):
    return text.encode("utf-16-le")


def b_varchar(text):
    return bytes([len(text)]) + ucs2(text)


def us_varchar(text):
    return struct.pack("<H", len(text)) + ucs2(text)


def done(status=0, count=0):
    return struct.pack("<BHHQ", 0xFD, status, 0xC1, count)


def done_after(status, failed, count):
    return done(status | (DONE_ERROR if failed else 0) | (DONE_COUNT if count else 0), count)


def message_token(token, number, text, severity):
    body = struct.pack("<iBB", number, 1, severity) + us_varchar(text) + b_varchar("tdspeer") + b_varchar("")
    body += struct.pack("<i", 1)
    return struct.pack("<BH", token, len(body)) + body


def env_change(kind, new, old):
    body = bytes([kind]) + b_varchar(new) + b_varchar(old)
    return struct.pack("<BH", 0xE3, len(body)) + body


def rows_tokens(columns, rows):
    kinds = []
    for index in range(len(columns)):
        values = [row[index] for row in rows]
        kinds.append("int" if values and all(isinstance(v, int) for v in values) else "text")
    out = struct.pack("<BH", 0x81, len(columns))
    for name, kind in zip(columns, kinds):
        out += struct.pack("<IH", 0, 0x0001)
        out += bytes([0x38]) if kind == "int" else bytes([0xE7]) + struct.pack("<H", 8000) + COLLATION
        out += b_varchar(name)
    for row in rows:
        out += bytes([0xD1])
        for value, kind in zip(row, kinds):
            if kind == "int":
                out += struct.pack("<i", value)
            else:
                data = ucs2(str(value))
                out += struct.pack("<H", len(data)) + data
    return out


class Peer:
    def __init__(self, script, record):
        self.script = script
        self.record = record
        self.lock = threading.Lock()
        self.procedures = {name.lower() for name in script.get("procedures", [])}

    def note(self, entry):
        with self.lock:
            self.record.write(json.dumps(entry, ensure_ascii=False) + "\n")
            self.record.flush()

    # The reply to a batch; wait() returns True when an attention arrived meanwhile.
    def answer(self, text, wait):
        for rule in self.script.get("rules", []):
            if re.search(rule["match"], text, re.IGNORECASE | re.DOTALL):
                if wait(rule.get("delay", 0)):
                    return None
                if rule.get("write_bak"):
                    self.write_bak(text)
                return self.reply(rule.get("reply", []))
        return self.builtin(text)

    def reply(self, tokens):
        out = b""
        failed = False
        count = 0
        for token in tokens:
            if "info" in token:
                out += message_token(0xAB, token["info"][0], token["info"][1], 0)
            elif "error" in token:
                out += message_token(0xAA, token["error"][0], token["error"][1], 16)
                failed = True
            elif "rows" in token:
                out += rows_tokens(token["rows"]["columns"], token["rows"]["rows"])
                count = len(token["rows"]["rows"])
            elif token.get("done_more"):
                out += done_after(DONE_MORE, failed, count)
                failed = False
                count = 0
        return out + done_after(0, failed, count)

    def builtin(self, text):
        listing = re.match(r"\s*select name(,crdate,filename)? from master\.\.sysdatabases\s*$", text, re.I)
        if listing:
            names = self.script.get("databases", [])
            if listing.group(1):
                rows = [[n, "2024-01-01", "/var/opt/mssql/data/x.mdf"] for n in names]
                return rows_tokens(["name", "crdate", "filename"], rows) + done(DONE_COUNT, len(rows))
            return rows_tokens(["name"], [[n] for n in names]) + done(DONE_COUNT, len(names))
        check = re.search(r"object_id\(N'\[dbo\]\.\[(\w+)\]'\)", text)
        if check and text.lower().lstrip().startswith("select count(*)"):
            with self.lock:
                present = check.group(1).lower() in self.procedures
            return rows_tokens(["num"], [[1 if present else 0]]) + done(DONE_COUNT, 1)
        created = re.match(r"\s*create proc (\w+)", text, re.I)
        if created:
            with self.lock:
                self.procedures.add(created.group(1).lower())
            return done()
        if re.match(r"\s*backup database ", text, re.I):
            error = self.write_bak(text)
            if error:
                return self.reply([{"error": [3201, error]},
                                   {"error": [3013, "BACKUP DATABASE is terminating abnormally."]}])
        return done()

    # Writes the .bak of a "backup database [db] to disk='path'" statement; the error text when it cannot.
    def write_bak(self, text):
        match = re.match(r"\s*backup database \[((?:[^\]]|\]\])*)\] to disk='((?:[^']|'')*)'\s*$", text,
                         re.I | re.S)
        if not match:
            return "Incorrect syntax near 'backup'."
        database = match.group(1).replace("]]", "]")
        path = match.group(2).replace("''", "'")
        try:
            with open(path, "xb") as out:
                out.write(("TDSPEER BACKUP " + database + "\n").encode("utf-8") + os.urandom(4096))
        except OSError as error:
            return ("Cannot open backup device '%s'. Operating system error %d(%s)."
                    % (path, error.errno, error.strerror))
        return None


def read_packet(conn):
    header = recv_exact(conn, 8)
    if header is None:
        return None
    kind, status, length = struct.unpack(">BBH", header[:4])
    body = recv_exact(conn, length - 8) if length > 8 else b""
    if body is None:
        return None
    return kind, status, body


def recv_exact(conn, size):
    data = b""
    while len(data) < size:
        chunk = conn.recv(size - len(data))
        if not chunk:
            return None
        data += chunk
    return data


def read_message(conn):
    payload = b""
    while True:
        packet = read_packet(conn)
        if packet is None:
            return None, None
        kind, status, body = packet
        payload += body
        if status & 0x01 or kind == PACKET_ATTENTION:
            return kind, payload


def send_message(conn, kind, payload):
    step = PACKET_SIZE - 8
    chunks = [payload[i:i + step] for i in range(0, len(payload), step)] or [b""]
    for number, chunk in enumerate(chunks, 1):
        status = 0x01 if number == len(chunks) else 0x00
        conn.sendall(struct.pack(">BBHHBB", kind, status, len(chunk) + 8, 0, number % 256, 0) + chunk)


def prelogin_reply():
    options = [(0x00, struct.pack(">IH", 0x0F000000, 0)), (0x01, b"\x02"), (0x02, b"\x00"),
               (0x03, b""), (0x04, b"\x00")]
    offset = len(options) * 5 + 1
    head = b""
    data = b""
    for token, value in options:
        head += struct.pack(">BHH", token, offset + len(data), len(value))
        data += value
    return head + b"\xff" + data


def login_fields(body):
    def field(at):
        offset, length = struct.unpack("<HH", body[at:at + 4])
        return body[offset:offset + 2 * length]

    password = bytes((((b ^ 0xA5) & 0x0F) << 4) | (((b ^ 0xA5) & 0xF0) >> 4) for b in field(44))
    return {
        "kind": "login",
        "user": field(40).decode("utf-16-le"),
        "password": password.decode("utf-16-le"),
        "app": field(48).decode("utf-16-le"),
        "server": field(52).decode("utf-16-le"),
        "database": field(68).decode("utf-16-le"),
    }


def login_reply(database):
    out = env_change(1, database or "master", "master")
    body = struct.pack("<BB", 0x07, 5) + COLLATION + b"\x00"
    out += struct.pack("<BH", 0xE3, len(body)) + body
    out += env_change(4, str(PACKET_SIZE), str(PACKET_SIZE))
    ack = bytes([1]) + bytes([0x74, 0x00, 0x00, 0x04]) + b_varchar("Microsoft SQL Server") + bytes([15, 0, 0x07, 0xD0])
    out += struct.pack("<BH", 0xAD, len(ack)) + ack
    return out + done()


def serve(conn, peer):
    with conn:
        while True:
            kind, payload = read_message(conn)
            if kind is None:
                return
            if kind == PACKET_PRELOGIN:
                send_message(conn, PACKET_REPLY, prelogin_reply())
            elif kind == PACKET_LOGIN7:
                fields = login_fields(payload)
                peer.note(fields)
                send_message(conn, PACKET_REPLY, login_reply(fields["database"]))
            elif kind == PACKET_SQL_BATCH:
                headers = struct.unpack("<I", payload[:4])[0]
                text = payload[headers:].decode("utf-16-le")
                peer.note({"kind": "batch", "text": text})
                reply = peer.answer(text, lambda seconds: wait_for_attention(conn, seconds))
                if reply is None:
                    peer.note({"kind": "attention"})
                    send_message(conn, PACKET_REPLY, done(DONE_ATTENTION))
                else:
                    send_message(conn, PACKET_REPLY, reply)
            elif kind == PACKET_ATTENTION:
                peer.note({"kind": "attention"})
                send_message(conn, PACKET_REPLY, done(DONE_ATTENTION))
            else:
                send_message(conn, PACKET_REPLY, message_token(0xAA, 102, "unsupported request", 16) +
                             done(DONE_ERROR))


# Sleeps up to seconds; True when the client sent an attention meanwhile.
def wait_for_attention(conn, seconds):
    end = time.monotonic() + seconds
    while True:
        left = end - time.monotonic()
        if left <= 0:
            return False
        readable, _, _ = select.select([conn], [], [], left)
        if readable:
            kind, _ = read_message(conn)
            return kind == PACKET_ATTENTION


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--script", required=True)
    parser.add_argument("--record", required=True)
    parser.add_argument("--user")
    args = parser.parse_args()
    with open(args.script, encoding="utf-8") as source:
        script = json.load(source)
    record = open(args.record, "a", encoding="utf-8")
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    if args.user:
        account = pwd.getpwnam(args.user)
        os.setgroups([])
        os.setgid(account.pw_gid)
        os.setuid(account.pw_uid)
    print(listener.getsockname()[1], flush=True)
    peer = Peer(script, record)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn, peer), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
