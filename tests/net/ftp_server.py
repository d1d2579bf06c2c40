#!/usr/bin/env python3
"""An FTP server on 127.0.0.1 for the network tests (python3-pyftpdlib).

    ftp_server.py ROOT USER PASSWORD

Serves ROOT to USER with every permission, passive and active, on a free
port, which it prints on the first line of standard output; runs until killed.
"""
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    root, user, password = sys.argv[1:4]
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.permit_foreign_addresses = False
    handler.auth_failed_timeout = 0.1  # a wrong password is answered at once
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    import logging
    logging.basicConfig(level=logging.ERROR)
    main()
