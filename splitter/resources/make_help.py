#!/usr/bin/env python3
"""Writes the help file for Windows: UTF-8 with a byte-order mark and CR LF line ends, which
Notepad shows right on every Windows whatever its code page.

    make_help.py help.txt dravnik-help.txt
"""
import sys


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as f:
        text = f.read()
    data = "\ufeff" + text.replace("\r\n", "\n").replace("\n", "\r\n")
    with open(target, "wb") as f:
        f.write(data.encode("utf-8"))


if __name__ == "__main__":
    main()
