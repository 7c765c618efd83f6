#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into fuzz/corpus/<target>/.

Each target reads its input in small parts: a part is one length byte followed by that many
bytes (see fuzz/support/FuzzInput.h); the last part is everything left. The seeds here are
ordinary and hostile cases in that form; run this again after changing them.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def part(data: bytes) -> bytes:
    assert len(data) < 256
    return bytes([len(data)]) + data


def gbk(text: str) -> bytes:
    return text.encode("gbk")


SEEDS = {
    "uri": [
        part(b"/dir/") + part(b"../x/./y") + b"http://user:pw@www.example.com:8080/a/b/c.php?x=1#top",
        part(b"/") + part(b"../../..") + b"http://host",
        part(b"/a/b/") + part(b"/abs") + b"https://host/dir\\sub\\page.aspx",
        part(b"") + part(b"x") + b"/relative/path?q",
        part(b"/") + part(b"a//b///c") + b"page.html",
        part(b"/") + part(b"") + b"http://host/" + gbk("目录/首页") + b".php",
        part(b"/") + part(b"") + b"http://host/a\r\nX-Injected: 1",
        part(b"/") + part(b"") + b"ftp://host/file",
        part(b"/") + part(b"") + b"http://[::1]:80/",
        part(b"/") + part(b"") + b"http://host:99999999999/",
    ],
    "header_list": [
        bytes([78]) + part(b"Set-Cookie") + part(b"a=b; path=/; expires=Wed, 09 Jun 2021 10:18:14 GMT")
        + b"Content-Type: text/html\r\nSet-Cookie: id=1\r\n\tcontinued\r\n folded more",
        bytes([10]) + part(b"X-Long") + part(b"one two three four five six seven eight nine ten, a,b,c")
        + b"A: 1\r\nB:\r\n: no name\r\nno colon\r\n \r\n",
        bytes([1]) + part(b"Q") + part(b'"quoted, value with spaces" and more') + b"Q: \"x\"",
        bytes([20]) + part(b"GBK") + part(gbk("中文 值 很长 的 一行 文字")) + b"GBK: " + gbk("值"),
    ],
    "internet_date": [
        b"Sun, 06 Nov 1994 08:49:37 GMT",
        b"Sunday, 06-Nov-94 08:49:37 GMT",
        b"Sun Nov  6 08:49:37 1994",
        b"Thu, 01 Jan 1970 00:00:00 +0800",
        b"Fri, 31 Dec 9999 23:59:59 -1200",
        b"Mon, 29 Feb 2021 25:61:61 GMT",
        b"Tue, 32 Foo 0000 00:00:00",
        b"   ",
        b"Wed, 09 Jun 2021 10:18:14 +9999",
    ],
    "cookie": [
        part(b"www.example.com") + part(b"/dir/page") + bytes([0b00100100])
        + b"id=1; path=/\nsession=abc; path=/dir; domain=.example.com\nold=x; expires=Thu, 01 Jan 1970 00:00:00 GMT; path=/",
        part(b"host") + part(b"/") + bytes([0b10101010])
        + b'c2="v"; Version="1"; Port="80,8080"; Path="/"\nbad="v"; Version="1"; Port="x"; Path="/"',
        part(b"10.0.0.1") + part(b"/") + bytes([0])
        + b"ip=1; domain=10.0.0.1; path=/\nsec=1; secure; path=/\nage=1; max-age=0; path=/",
        part(b"a.b") + part(b"/") + bytes([0x55]) + b"\n".join(b"n%d=v; path=/" % i for i in range(60)),
        part(b"host") + part(b"/") + bytes([0]) + b"cr=a\rInjected: 1; path=/",
    ],
    "ftp_reply": [
        part(b"") + b"220 ready\r\n331 pass\r\n230 in\r\n200 type\r\n215 UNIX\r\n250 cwd\r\n",
        part(bytes([0, 3, 7, 1])) + b"220-first\r\n220-second\r\n220 last\r\n331 p\r\n230 ok\r\n200 t\r\n500 no\r\n550 no dir\r\n",
        part(b"\x05") + b"220 x\r\n230 no password needed\r\n200 t\r\n215 x\r\n250 ok\r\n",
        part(b"") + b"220 x\r\n331 p\r\n530 Login incorrect.\r\n",
        part(b"") + b"220-" + b"x" * 200 + b"\r\n" + b"220-more\r\n" * 20,
        part(b"") + b"garbage\r\n\r\n22\r\n",
        part(b"") + b"220 x\n331 p\n230 ok\n200 t\n215 x\n250 ok\n",
        part(b"") + b"421 closing\r\n",
    ],
    "passive_reply": [
        b"Entering Passive Mode (127,0,0,1,195,80)",
        b"Entering Passive Mode 127,0,0,1,4,1",
        b"(256,0,0,1,1,1)",
        b"(1,2,3,4,5)",
        b"(a,b,c,d,e,f)",
        b"=192,168,1,2,255,255",
        b"(-1,0,0,1,0,0)",
        b"",
    ],
    "http_body": [
        bytes([1, 0, 5]) + part(b"") + b"hello",
        bytes([1, 0, 10]) + part(b"\x00\x01") + b"short",
        bytes([2, 0, 0]) + part(b"\x02\x00\x05") + b"5\r\nhello\r\n6;ext=1\r\n world\r\n0\r\nTrailer: x\r\n\r\n",
        bytes([2, 0, 0]) + part(b"") + b"FFFFFFFFF\r\n",
        bytes([2, 0, 0]) + part(b"") + b"zz\r\nabc",
        bytes([3, 0, 0]) + part(b"\x00\x00\x00") + b"until the close\r\nwith lines",
        bytes([0, 0, 0]) + part(b"") + b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 4\r\n\r\nbody",
        bytes([0, 0, 0]) + part(b"\x10") + b"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
        bytes([0, 0, 0]) + part(b"") + b"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found",
        bytes([0, 0, 0]) + part(b"") + b"HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 0\r\n\r\n",
        bytes([0, 0, 0]) + part(b"") + b"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nbody",
        bytes([0, 0, 0]) + part(b"") + b"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nbody",
        bytes([0, 0, 0]) + part(b"") + b"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 3\r\n\r\n\x1f\x8b\x08",
        bytes([0, 0, 0]) + part(b"") + b"HTTP/1.0 200 OK\r\nSet-Cookie: a=b; path=/\r\n\r\npage",
        bytes([0, 0, 0]) + part(b"") + b"garbage\r\n\r\n",
    ],
    "profile_file": [
        part(gbk("WEB参数")) + part(b"webfile") + part(b"index")
        + gbk("[FTP参数]\r\nftpaddr=127.0.0.1\r\n[WEB参数]\r\nwebfile=old\r\nwebmain=http://host/\r\n"),
        part(b"new") + part(b"key") + part(b" blanks \r\n and\x7f")
        + b"; comment\n[a]\nx=1\r[b\nkey=in broken\n[new]",
        part(b"s") + part(b"k") + part(b"v") + b"no final break",
        part(b"s") + part(b"k") + part(b"\x7f\\x41") + b"[S]\r\nK=first\r\nk=second\r\n",
        part(b"bad]name") + part(b"k") + part(b"v") + b"[x]\r\n",
        part(b"s") + part(b"=k") + part(b"v") + b"",
        part(b"s") + part(b"k") + part(b"") + b"\r\n\r\n[s]  \r\n  k  =  spaced value  \r\n",
        # A section name ending in a GBK lead byte: the "]" after it must still close it.
        part(b"WEB\xfd") + part(b"webfile") + part(b"index") + b"[WEB\xfd]\r\nwebfile=old\r\n",
    ],
    "password_codec": [
        bytes([1, 126]) + b"",
        bytes([7, 9]) + b"secret",
        bytes([125, 3]) + gbk("密码 with blanks ") + b"\x00\x7f\xff",
        bytes([0, 0]) + b"x" * 200,
    ],
}


def main() -> None:
    for target, seeds in SEEDS.items():
        folder = os.path.join(HERE, "corpus", target)
        os.makedirs(folder, exist_ok=True)
        for old in os.listdir(folder):
            os.remove(os.path.join(folder, old))
        for index, seed in enumerate(seeds):
            with open(os.path.join(folder, "seed-%02d" % index), "wb") as out:
                out.write(seed)


if __name__ == "__main__":
    main()
