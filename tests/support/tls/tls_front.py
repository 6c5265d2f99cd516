#!/usr/bin/env python3
"""The HTTPS face of a test's loopback HTTP server.

Schannel under Wine cannot be a server (AcceptSecurityContext is not
implemented), so a test starts this program beside it. It connects back to
the test on CONTROL-PORT, listens on one loopback port per test certificate,
writes "good=P expired=P wrongname=P untrusted=P" and a newline on that
connection, and then passes the bytes of every TLS connection to and from
the plain server on BACKEND-PORT. It ends when the test closes the control
connection (or its process ends), and after an hour in any case.
  usage: tls_front.py CERT-DIR CONTROL-PORT BACKEND-PORT
"""
import asyncio
import os
import socket
import ssl
import struct
import sys

CERTIFICATES = ("good", "expired", "wrongname", "untrusted")
LIFETIME_SECONDS = 3600
CHUNK = 65536


def context_for(cert_dir, name):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    # The .pem holds the server's certificate and the chain it presents.
    context.load_cert_chain(os.path.join(cert_dir, name + ".pem"), os.path.join(cert_dir, name + ".key"))
    return context


def reset(writer):
    """Closes with a TCP reset, as the plain server did."""
    raw = writer.get_extra_info("socket")
    if raw is not None:
        raw.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    writer.transport.abort()


async def pump(reader, writer):
    """Copies until the reading side ends; True when it ended with a reset."""
    try:
        while data := await reader.read(CHUNK):
            writer.write(data)
            await writer.drain()
    except (ConnectionResetError, ssl.SSLError):
        return True
    except (BrokenPipeError, ConnectionError):
        return False
    return False


async def forward(backend_port, client_reader, client_writer):
    try:
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", backend_port)
    except OSError:
        client_writer.transport.abort()
        return
    upstream = asyncio.ensure_future(pump(client_reader, server_writer))
    was_reset = await pump(server_reader, client_writer)
    if was_reset:
        reset(client_writer)
    else:
        try:
            client_writer.close()
            await client_writer.wait_closed()
        except (ConnectionError, ssl.SSLError):
            pass
    upstream.cancel()
    server_writer.transport.abort()


async def main(cert_dir, control_port, backend_port):
    loop = asyncio.get_running_loop()
    # A client that rejects a certificate ends the handshake: not worth a word.
    loop.set_exception_handler(lambda _loop, _context: None)
    control_reader, control_writer = await asyncio.open_connection("127.0.0.1", control_port)
    ports = []
    for name in CERTIFICATES:
        server = await asyncio.start_server(
            lambda r, w: forward(backend_port, r, w), "127.0.0.1", 0,
            ssl=context_for(cert_dir, name), ssl_handshake_timeout=10)
        ports.append(f"{name}={server.sockets[0].getsockname()[1]}")
    control_writer.write((" ".join(ports) + "\n").encode())
    await control_writer.drain()
    try:
        await asyncio.wait_for(control_reader.read(), LIFETIME_SECONDS)
    except asyncio.TimeoutError:
        pass


if __name__ == "__main__":
    asyncio.run(main(sys.argv[1], int(sys.argv[2]), int(sys.argv[3])))
