#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (run from anywhere; rewrites only seed-*.bin).

Text fields use the targets' encoding: one byte per character below 0xF0, 0xF0 + two bytes
(little-endian) for any other UTF-16 unit, fields separated by 0x01.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SEP = b"\x01"


def text(s):
    out = bytearray()
    for ch in s:
        u = ord(ch)
        if u < 0xF0 and u != 1:
            out.append(u)
        else:
            out += bytes([0xF0]) + struct.pack("<H", u)
    return bytes(out)


def fields(*parts):
    return SEP.join(text(p) for p in parts)


def identify(serial, model="WDC WD5000AAKS"):
    words = bytearray(512)

    def put(word, s, length):
        s = s.ljust(length)[:length].encode("latin-1")
        for i in range(0, length, 2):
            # strings run high byte first inside each little-endian word
            words[(word * 2) + i] = s[i + 1]
            words[(word * 2) + i + 1] = s[i]

    put(10, serial, 20)
    put(27, model, 40)
    return bytes(words)


def storage_descriptor(serial_hex):
    body = bytearray(64)
    struct.pack_into("<I", body, 24, 40)
    body[40:40 + len(serial_hex)] = serial_hex.encode("ascii")
    return bytes(body)


def media_serial(text_bytes):
    return struct.pack("<III", len(text_bytes), 0, 0) + b"\0" * 4 + text_bytes + b"\0"


def le32(*values):
    return b"".join(struct.pack("<i", v) for v in values)


SEEDS = {
    "version_rules": [
        fields("3000", "3.0.0.1", "", ""),
        fields("3000", "3.0.0.0", "", ""),
        fields("3000", "3.0.0.2", "", "3.0.0.1"),
        fields("3000", "3.0.0.1", "1000-2999", ""),
        fields("3000", "3.0.0.1", "2000-3000", ""),
        fields("3000", "3.0.0.1", "2999,3000", ""),
        fields("3000", "3.0.0.1", "3000-", ""),
        fields("3000", "3.0.0.1", "-3000", ""),
        fields("3000", "3.0.0.1", "2.9.9.9-3.0.0.0", ""),
        fields("0", "", "--,", "x"),
    ],
    "download_rules": [
        fields("C:\\Up", "http://127.0.0.1:18080/tarsel/pelun/official/app.ini",
               "\x00\xe1\xf5\x05\x00\x10\x00\x00"),
        fields("C:\\Up\\", "http://h/a.exe?x=/y", "\x0a\x00\x00\x00\x0a\x00\x00\x00"),
        fields("", "noslash", ""),
    ],
    "skin_math": [
        le32(1920, 1213) + bytes([3]) + bytes([10, 20, 30, 255, 10, 20, 30, 0, 200, 100, 50, 128] * 2),
        le32(-2147483648, 2147483647) + bytes([0x81]) + bytes(range(64)),
    ],
    "text_fit": [
        le32(300, 200, 0) + le32(50, 120, 190, 250, 290),
        le32(300, 200, 100) + le32(-2147483648, 2147483647),
        le32(10, 20, 5),
    ],
    "beacon_text": [
        fields("127.0.0.1:18080", "ref", "42", "0123456789ABCDEF0123456789ABCDEF",
               "d41d8cd98f00b204e9800998ecf8427e", "2026-12-11 01:55:00", "2026-12-11", "\x013000\x01"),
        fields("stats.example", "", "", "", "", "", "", ""),
    ],
    "screen_rules": [
        fields("http://h/pelun/wd/index.html?wd_username=li&wd_entergame=1&wd_server=12&x=1",
               "127.0.0.1:18080", "", "C:\\Program Files\\Velmora\\Velmora.exe",
               "\x00\x05\x10\x04"),
        fields("HTTPS://example.com/pay?x=1", "qq.example", "old", "x", ""),
        fields("http://qq.example/qqconn/oauth/redirect_to_login.php?a", "qq.example", "", "", ""),
        fields("file:///C:/Windows/calc.exe", "", "", "", ""),
        fields("http:///x", "", "", "", ""),
    ],
    "page_address": [
        text("javascript:void(0)"), text("about:blank"), text("about:blankx"),
        text("http://h/setup.exe"), text("http://h/pelun/wd/index.html?wd_entergame=1"),
    ],
    "url_param": [
        fields("wd_server", "http://h/p?a=1&wd_server=12&b=2"),
        fields("wd_server", "http://h/p?a=1&wd_server="),
        fields("wd_server", "http://h/p?a=1&b=2"),
        fields("server", "http://h/p?wd_server=5&server=6"),
        fields("u", "http://h/p?u=\u4e2d\u6587&x"),
        fields("", "=&="),
    ],
    "split_string": [
        fields(",", "1,2,,3"),
        fields(",", "1,2,"),
        fields(",", ""),
        fields("-", "3000-3100"),
        fields(",", "2999,3000-3100,-3000,3000-"),
        fields("ab", "aabab"),
    ],
    "string_to_int": [
        text("12abc"), text("abc"), text(" 7"), text("-5"), text("+4x"),
        text("99999999999999"), text("-2147483648"), text("2147483648"), text("\u30003"),
        text("\t\n 3000"),
    ],
    "remove_all": [
        fields(".", "3.0.0.1"),
        fields("-", "2026-12-11 01:55:00"),
        fields("ab", "aabb"),
        fields("", "text"),
    ],
    "bytes_to_hex": [bytes([0x00, 0x0F, 0xAB] + list(range(13))), bytes(range(0xF0, 0x100))],
    "run_mode": [
        text("\"C:\\Velmora.exe\" /setupsucc"),
        text("Velmora.exe /uninstallsucc /ShowDeskTop"),
        text("Velmora.exe /showdesktop"),
        text("Velmora.exe /autorun"),
    ],
    "sha256": [b"", b"abc", b"a" * 55, b"a" * 56, b"a" * 64, bytes(range(256)),
               b"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"],
    "md5": [b"", b"a", b"abc", b"message digest", bytes(range(256)) * 3],
    "serial_text": [
        identify("  WD-WCAV12345678  "),
        identify("AB CD"),
        identify("\x80\xff12"),
        storage_descriptor("4457"),
        storage_descriptor("20204457xyz"),
        media_serial(b"W\0\0\0D\0\0\0 \0\0\0X"),
        bytes(20),
    ],
}


def main():
    for target, seeds in SEEDS.items():
        folder = os.path.join(HERE, target)
        os.makedirs(folder, exist_ok=True)
        for name in os.listdir(folder):
            if name.startswith("seed-"):
                os.remove(os.path.join(folder, name))
        for i, data in enumerate(seeds):
            with open(os.path.join(folder, "seed-%02d.bin" % i), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
