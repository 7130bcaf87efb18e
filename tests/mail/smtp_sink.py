#!/usr/bin/env python3
"""SMTP server for the mail tests: stores every message it accepts in FOLDER and prints its port once listening.

Usage: smtp_sink.py FOLDER

Message n (from 1) becomes n.from (the MAIL address), n.rcpt (the RCPT addresses, one a line) and n.data (the
data exactly as received, after the server removed the transparency dots). n.data is written last, by rename, so a
reader that sees it sees the whole message.
"""

import asyncio
import os
import sys

from aiosmtpd.smtp import SMTP


class Store:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    def _write(self, name, data):
        temporary = os.path.join(self.folder, name + ".tmp")
        with open(temporary, "wb") as f:
            f.write(data)
        os.replace(temporary, os.path.join(self.folder, name))

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        n = str(self.count)
        self._write(n + ".from", envelope.mail_from.encode())
        self._write(n + ".rcpt", "".join(r + "\n" for r in envelope.rcpt_tos).encode())
        self._write(n + ".data", envelope.original_content)
        return "250 Message accepted for delivery"


async def main(folder):
    store = Store(folder)
    loop = asyncio.get_running_loop()
    # Port 0: the system picks a free one, which the test reads from our first line.
    server = await loop.create_server(lambda: SMTP(store), host="127.0.0.1", port=0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    try:
        asyncio.run(main(sys.argv[1]))
    except KeyboardInterrupt:
        pass
