#!/usr/bin/env python3
# Serves a corpus folder on 127.0.0.1 for the batch benchmark. A path under /slow/ is the same file as without
# the prefix, answered late: pictures after 1 s, anything else after 0.5 s.
#   serve.py FOLDER PORTFILE   (binds a free port, writes it to PORTFILE, serves until terminated)
import http.server
import os
import sys
import time


class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        if self.path.startswith("/slow/"):
            self.path = self.path[len("/slow"):]
            time.sleep(1.0 if self.path.endswith((".png", ".jpg")) else 0.5)
        super().do_GET()

    def end_headers(self):
        # Every method starts from an empty cache anyway; say so for the reused browser too.
        self.send_header("Cache-Control", "no-store")
        super().end_headers()

    def log_message(self, *args):
        pass


def main():
    folder, portfile = sys.argv[1], sys.argv[2]
    os.chdir(folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    with open(portfile + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(portfile + ".tmp", portfile)
    server.serve_forever()


if __name__ == "__main__":
    main()
