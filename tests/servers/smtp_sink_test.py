"""The SMTP sink's switches: PIPELINING and CHUNKING offered only when asked for, commands sent
ahead of their replies answered in order, and BDAT chunks delivered byte for byte. Runs a sink of
its own beside the shared one (whose certificate it borrows) and asks the shared one what it offers.

    python3 smtp_sink_test.py STATE      (STATE: the mail_servers fixture's state folder)"""

import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
STATE = sys.argv.pop(1) if len(sys.argv) > 1 else ""


def shared_servers():
    with open(os.path.join(STATE, "servers.env")) as described:
        return dict(line.strip().split("=", 1) for line in described if "=" in line)


def free_ports(count):
    sockets = [socket.socket() for _ in range(count)]
    for bound in sockets:
        bound.bind(("127.0.0.1", 0))
    ports = [bound.getsockname()[1] for bound in sockets]
    for bound in sockets:
        bound.close()
    return ports


class Client:
    def __init__(self, port):
        self.connection = socket.create_connection(("127.0.0.1", port), timeout=60)
        self.lines = self.connection.makefile("rb")
        self.reply()

    def reply(self):
        """One whole reply, its lines joined."""
        lines = []
        while True:
            line = self.lines.readline()
            if not line:
                raise ConnectionError("the sink ended the connection")
            lines.append(line.decode("ascii").rstrip("\r\n"))
            if line[3:4] != b"-":
                return "\n".join(lines)

    def send(self, data):
        self.connection.sendall(data)

    def close(self):
        self.connection.close()


class ChunkingSink(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        servers = shared_servers()
        cls.mail_root = tempfile.mkdtemp(prefix="sink-test.")
        tls = os.path.join(servers["RUNTIME"], "tls")
        for _ in range(20):
            cls.port, tls_port = free_ports(2)
            cls.sink = subprocess.Popen(
                [sys.executable, os.path.join(HERE, "smtp_sink.py"), "--port", str(cls.port), "--tls-port", str(tls_port),
                 "--cert", os.path.join(tls, "server.pem"), "--key", os.path.join(tls, "server.key"),
                 "--mail-root", cls.mail_root, "--password", servers["PASSWORD"], "--pipelining", "--chunking"],
                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            # It says "ready" once both ports answer; it ends at once when a port was taken meanwhile.
            if cls.sink.stdout.readline().strip() == b"ready":
                return
            cls.sink.wait()
        raise RuntimeError("the sink did not start")

    @classmethod
    def tearDownClass(cls):
        cls.sink.terminate()
        cls.sink.wait()
        subprocess.run(["rm", "-rf", cls.mail_root], check=False)

    def setUp(self):
        self.client = Client(self.port)
        self.client.send(b"EHLO test\r\n")
        self.ehlo = self.client.reply()

    def tearDown(self):
        self.client.close()

    def delivered(self, mailbox, count):
        """The raw bytes of the mailbox's deliveries, once there are count of them."""
        folder = os.path.join(self.mail_root, mailbox, "sent-raw")
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            names = sorted(name for name in os.listdir(folder) if name.endswith(".eml")) if os.path.isdir(folder) else []
            if len(names) >= count:
                return [open(os.path.join(folder, name), "rb").read() for name in names]
            time.sleep(0.02)
        self.fail("%d deliveries to %s did not arrive" % (count, mailbox))

    def test_offers_pipelining_and_chunking_when_asked(self):
        self.assertIn("250-PIPELINING", self.ehlo)
        self.assertIn("250-CHUNKING", self.ehlo)
        self.assertTrue(self.ehlo.endswith("250 HELP"))

    def test_pipelined_bdat_chunks_are_answered_in_order_and_delivered_byte_for_byte(self):
        first, last = b"Subject: chunks\r\n\r\n.a dot", b" stays\r\nbare\nLF and CR\r\n"
        self.client.send(b"MAIL FROM:<me@localhost>\r\nRCPT TO:<chunks@localhost>\r\n"
                         + b"BDAT %d\r\n" % len(first) + first + b"BDAT %d LAST\r\n" % len(last) + last + b"NOOP\r\n")
        replies = [self.client.reply() for _ in range(5)]
        self.assertEqual(replies, ["250 OK", "250 OK", "250 %d octets received" % len(first),
                                   "250 Message accepted for delivery", "250 OK"])
        self.assertEqual(self.delivered("chunks", 1), [first + last])

    def test_a_refused_chunk_is_read_whole_and_never_taken_for_commands(self):
        self.client.send(b"MAIL FROM:<me@localhost>\r\nBDAT 6\r\nQUIT\r\nRSET\r\n")
        self.assertEqual([self.client.reply() for _ in range(3)], ["250 OK", "503 Error: need RCPT command", "250 OK"])

    def test_data_after_bdat_is_refused(self):
        self.client.send(b"MAIL FROM:<me@localhost>\r\nRCPT TO:<mixed@localhost>\r\nBDAT 3\r\nabcDATA\r\n")
        replies = [self.client.reply() for _ in range(4)]
        self.assertEqual(replies[3], "503 Error: BDAT chunks already sent")


class SharedSink(unittest.TestCase):
    def test_offers_neither_by_default(self):
        client = Client(int(shared_servers()["SMTP_PORT"]))
        client.send(b"EHLO test\r\n")
        ehlo = client.reply()
        client.close()
        self.assertNotIn("PIPELINING", ehlo)
        self.assertNotIn("CHUNKING", ehlo)


if __name__ == "__main__":
    unittest.main()
