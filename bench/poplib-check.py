#!/usr/bin/env python3
"""The same first check as Pellmor's, by Python's poplib, one command at a time:
uidl, then list and top 30 of every message, then quit. Prints the median
seconds of the rounds, the number of messages and the bytes of text that a
check keeps (header and body lines without their line ends), for the
program's memory to be weighed against.

  poplib-check.py HOST PORT USER PASSWORD [ROUNDS]
"""
import poplib
import statistics
import sys
import time


def check(host, port, user, password):
    start = time.perf_counter()
    session = poplib.POP3(host, port, timeout=60)
    session.user(user)
    session.pass_(password)
    session.stat()
    listed = session.uidl()[1]
    text = 0
    for entry in listed:
        number = entry.split()[0].decode()
        session.list(number)
        text += sum(len(line) for line in session.top(number, 30)[1])
    session.quit()
    return time.perf_counter() - start, len(listed), text


def main():
    host, port, user, password = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
    rounds = int(sys.argv[5]) if len(sys.argv) > 5 else 3
    times = []
    for _ in range(rounds):
        seconds, count, text = check(host, port, user, password)
        times.append(seconds)
    print(f"{statistics.median(times):.3f} {count} {text}")


if __name__ == "__main__":
    main()
