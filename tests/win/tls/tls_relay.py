"""A TLS front for a test's plain HTTP server on the loopback interface.

    python3 tls_relay.py --cert C.pem --key K.pem --backend PORT --control PORT

Listens on a free port of 127.0.0.1, tells the test that port as one line
on a connection to the test's control port, and relays every TLS connection
to the backend port in clear. It ends when the test closes the control
connection (or ends itself). Nothing but the standard library: the test
starts it with whatever Python it finds.
"""
import argparse
import os
import socket
import ssl
import threading


def pump(source, target):
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            target.sendall(data)
    except OSError:
        pass
    try:
        target.shutdown(socket.SHUT_WR)
    except OSError:
        pass


def relay(client, context, backend_port):
    try:
        secure = context.wrap_socket(client, server_side=True)
    except (ssl.SSLError, OSError):
        # A client that refuses the certificate ends here.
        client.close()
        return
    try:
        backend = socket.create_connection(("127.0.0.1", backend_port))
    except OSError:
        secure.close()
        return
    back = threading.Thread(target=pump, args=(backend, secure), daemon=True)
    back.start()
    pump(secure, backend)
    back.join()
    secure.close()
    backend.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--backend", type=int, required=True)
    parser.add_argument("--control", type=int, required=True)
    args = parser.parse_args()

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)

    control = socket.create_connection(("127.0.0.1", args.control))
    control.sendall(b"%d\n" % listener.getsockname()[1])

    def watch():
        try:
            while control.recv(1):
                pass
        except OSError:
            pass
        os._exit(0)

    threading.Thread(target=watch, daemon=True).start()
    while True:
        client, _ = listener.accept()
        threading.Thread(target=relay, args=(client, context, args.backend), daemon=True).start()


main()
