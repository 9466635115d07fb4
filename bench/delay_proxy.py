"""A TCP proxy on 127.0.0.1 that delays every chunk by a fixed time in each direction, to
measure protocols as over a real link (loopback makes every round trip free).

Usage: delay_proxy.py TARGET_PORT ONE_WAY_MS

Prints "PORT <n>" once it listens, and "TURNS <n>" when a connection ends: how many times
the client spoke again after the server had spoken, plus the client's first word, i.e.
the round trips the client waited for. Runs until its input is closed.
"""
import asyncio
import sys
import time


async def pump(reader, writer, delay, on_chunk):
    queue = asyncio.Queue()

    async def deliver():
        while True:
            due, data = await queue.get()
            if data is None:
                break
            pause = due - time.monotonic()
            if pause > 0:
                await asyncio.sleep(pause)
            writer.write(data)
            await writer.drain()
        writer.close()

    sender = asyncio.create_task(deliver())
    try:
        while True:
            data = await reader.read(65536)
            if not data:
                break
            on_chunk()
            queue.put_nowait((time.monotonic() + delay, data))
    except ConnectionError:
        pass
    queue.put_nowait((0, None))
    await sender


async def main():
    target, delay = int(sys.argv[1]), int(sys.argv[2]) / 1000.0

    async def handle(client_reader, client_writer):
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target)
        state = {"last": "server", "turns": 0}

        def from_client():
            if state["last"] == "server":
                state["turns"] += 1
            state["last"] = "client"

        def from_server():
            state["last"] = "server"

        await asyncio.gather(
            pump(client_reader, server_writer, delay, from_client),
            pump(server_reader, client_writer, delay, from_server),
            return_exceptions=True)
        print(f"TURNS {state['turns']}", flush=True)

    server = await asyncio.start_server(handle, "127.0.0.1", 0)
    print(f"PORT {server.sockets[0].getsockname()[1]}", flush=True)
    loop = asyncio.get_running_loop()
    await loop.run_in_executor(None, sys.stdin.read)


asyncio.run(main())
