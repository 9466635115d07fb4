"""A stand-in carrier gateway on 127.0.0.1 for making real bounces: it refuses one address
for good and another for now, and takes the rest.

Usage: gateway.py PORT   (runs until killed)
"""
import sys
import time

from aiosmtpd.controller import Controller


class Gateway:
    async def handle_RCPT(self, server, session, envelope, address, options):
        if address.startswith("5555550100@"):
            return "550 5.1.1 <%s>: Recipient address rejected: User unknown" % address
        if address.startswith("5555550101@"):
            return "451 4.3.0 <%s>: Temporary local problem, try again later" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        return "250 2.0.0 OK"


controller = Controller(Gateway(), hostname=sys.argv[2] if len(sys.argv) > 2 else "127.0.0.1",
                        port=int(sys.argv[1]))
controller.start()
while True:
    time.sleep(3600)
