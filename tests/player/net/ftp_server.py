"""A real FTP server on 127.0.0.1 for the network input's tests.

Usage: ftp_server.py ROOT USER PASSWORD
Serves ROOT to anonymous users and to USER with PASSWORD, and to "amy" with
the password "pw", whose session starts in her home folder ROOT/home/amy as on
servers with real accounts; prints the port it listens on, and stops by itself after a minute. The greeting is long enough to
come as a multi-line reply, and replies that open a data connection name the
file's size as "(N bytes)".
"""
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class SizeAnnouncingHandler(FTPHandler):
    auth_failed_timeout = 0.1
    banner = "Melvox test server: a greeting long enough to be sent as a multi-line reply"

    def ftp_RETR(self, file):
        try:
            self.retr_size = os.path.getsize(file)
        except OSError:
            self.retr_size = None
        return super().ftp_RETR(file)

    def on_login(self, username):
        if username == "amy":
            self.fs.cwd = "/home/amy"

    def respond(self, resp, logfun=None):
        if resp[:3] in ("150", "125") and getattr(self, "retr_size", None) is not None:
            resp = "%s (%d bytes)." % (resp.rstrip("."), self.retr_size)
        return super().respond(resp)


def main():
    root, user, password = sys.argv[1:4]
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(root)
    authorizer.add_user(user, password, root)
    authorizer.add_user("amy", "pw", root)
    SizeAnnouncingHandler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), SizeAnnouncingHandler)
    print(server.address[1], flush=True)
    threading.Timer(60, server.close_all).start()
    server.serve_forever(timeout=0.2)


if __name__ == "__main__":
    main()
