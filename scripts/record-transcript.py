#!/usr/bin/env python3
"""Records what a program writes, chunk by chunk as it arrives through its pipes, so that the
encoder-output tests can replay a real encoder's output as the application received it.

    scripts/record-transcript.py OUTPUT PROGRAM [ARGUMENTS...]
    e.g. scripts/record-transcript.py tests/data/transcripts/cbr_factory.txt \\
             lame -k --short -q 2 -b 128 --athtype 2 -e n short.wav short.mp3

Lines starting with "#" are notes (the command, its exit status); every other line is "out " or
"err " and one chunk in base64, in the order the chunks arrived. Nothing runs through a shell.
"""
import base64
import os
import selectors
import subprocess
import sys


def main():
    if len(sys.argv) < 3:
        print(__doc__.strip().splitlines()[3], file=sys.stderr)
        return 2
    output, command = sys.argv[1], sys.argv[2:]
    with open(output, "w", encoding="ascii") as transcript:
        transcript.write("# command: " + " ".join(command) + "\n")
        try:
            process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        except OSError:
            transcript.write("# failed to start\n")
            return 1
        streams = selectors.DefaultSelector()
        streams.register(process.stdout, selectors.EVENT_READ, "out")
        streams.register(process.stderr, selectors.EVENT_READ, "err")
        while streams.get_map():
            for key, _ in streams.select():
                chunk = os.read(key.fileobj.fileno(), 65536)
                if not chunk:
                    streams.unregister(key.fileobj)
                    continue
                transcript.write(key.data + " " + base64.b64encode(chunk).decode("ascii") + "\n")
        status = process.wait()
        transcript.write("# exit: %d%s\n" % (abs(status), " (crashed)" if status < 0 else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
