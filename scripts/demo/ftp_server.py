# The demo's FTP server: pyftpdlib on 127.0.0.1, on a port the system chooses (printed on the
# first line of output), with one user whose home is the directory given.
#
# The user has the empty password. Velomaris stores its FTP password scrambled; the stored
# form of the empty password is any text of 16 bytes or fewer, so the demo's setfile.ini can
# name it without running the program's encoder.
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

home, user = sys.argv[1:3]
logging.basicConfig(level=logging.WARNING, format="ftp: %(message)s")
authorizer = DummyAuthorizer()
authorizer.add_user(user, "", home, perm="elradfmwMT")
FTPHandler.authorizer = authorizer
server = FTPServer(("127.0.0.1", 0), FTPHandler)
print(server.address[1], flush=True)
server.serve_forever(handle_exit=True)
