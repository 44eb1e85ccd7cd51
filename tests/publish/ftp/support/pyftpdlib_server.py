"""A plain FTP server for the upload tests: one user with full rights on one folder.

Usage: pyftpdlib_server.py HOME, with FTP_USER and FTP_PASSWORD in the environment. Listens on a
free port of 127.0.0.1 and prints that port on its own line once it accepts connections.
"""
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(os.environ["FTP_USER"], os.environ["FTP_PASSWORD"], sys.argv[1],
                        perm="elradfmwMT")

    class Handler(FTPHandler):
        # A refused login answers at once instead of after pyftpdlib's three-second pause.
        auth_failed_timeout = 0

    Handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), Handler)
    print(server.address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
