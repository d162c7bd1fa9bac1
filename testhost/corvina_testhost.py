#!/usr/bin/env python3
"""Corvina test host: plays a scripted Telnet host on 127.0.0.1 and logs every byte."""

import argparse
import os
import signal
import sys
import tempfile
import textwrap

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

from testhost import scenarios  # noqa: E402
from testhost.server import Log, Server  # noqa: E402

EXIT_OK = 0
EXIT_FAILED = 1  # a scenario failed
EXIT_USAGE = 2
EXIT_NO_CLIENT = 3  # --once and no client came before the time limit

DESCRIPTION = """\
Listens on 127.0.0.1, plays the host side of a scenario for each client and logs
every byte in both directions: "< HEX" from the client, "> HEX" to it, one
command, subnegotiation, record or run of data per line, each followed by
"  # note"; lines of their own starting with "#" are notes. Exits when the
scenario ends (with --once) or at the time limit. Exit status: 0 success,
1 a scenario failed, 2 bad arguments, 3 no client came (with --once)."""


def scenario_list():
    lines = []
    for name in sorted(scenarios.SCENARIOS):
        entry = scenarios.SCENARIOS[name]
        lines += textwrap.wrap(entry.description, 76, initial_indent=f"  {name}: ",
                               subsequent_indent="      ")
        for option, help_text in entry.options.items():
            lines += textwrap.wrap(help_text, 76, initial_indent=f"      --option {option}=...: ",
                                   subsequent_indent="          ")
    lines.append("  FILE.py: a scenario file defining run(conn, options)")
    return "scenarios:\n" + "\n".join(lines)


def positive_seconds(text):
    value = float(text)
    if not value > 0:
        raise argparse.ArgumentTypeError(f"{text} is not a positive number of seconds")
    return value


def port_number(text):
    value = int(text)
    if not 0 <= value <= 65535:
        raise argparse.ArgumentTypeError(f"{text} is not a port number (0 to 65535)")
    return value


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog="corvina_testhost.py", description=DESCRIPTION, epilog=scenario_list(),
        formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--scenario", metavar="NAME", help="scenario name or scenario file (.py)")
    parser.add_argument("--port", type=port_number, default=0,
                        help="port to listen on; 0 (the default) lets the system choose")
    parser.add_argument("--port-file", metavar="F",
                        help="write the port to F once listening (written whole or not at all)")
    parser.add_argument("--log", metavar="F", default="-",
                        help="byte log file (default: standard output)")
    parser.add_argument("--once", action="store_true",
                        help="serve one client, then exit (default: serve clients one after "
                             "another until the time limit)")
    parser.add_argument("--timeout", type=positive_seconds, default=30.0, metavar="S",
                        help="time limit in seconds for the whole run (default 30)")
    parser.add_argument("--option", action="append", default=[], metavar="KEY=VALUE",
                        help="scenario option; may be repeated")
    parser.add_argument("--list", action="store_true", help="list the scenarios and exit")
    args = parser.parse_args(argv)
    if args.list:
        return parser, args, None, None
    if not args.scenario:
        parser.error("--scenario is required")
    try:
        chosen = scenarios.load(args.scenario)
    except LookupError as error:
        parser.error(str(error))
    values = {}
    for pair in args.option:
        key, equals, value = pair.partition("=")
        if not equals or not key:
            parser.error(f"--option '{pair}' is not KEY=VALUE")
        if key not in chosen.options:
            known = ", ".join(chosen.options) or "none"
            parser.error(f"scenario {chosen.name} has no option '{key}' (options: {known})")
        values[key] = value
    return parser, args, chosen, scenarios.Options(values)


def write_port_file(path, port):
    """Writes the port to a temporary file beside path and renames it, so that a
    reader never sees a partly written file."""
    fd, temporary = tempfile.mkstemp(prefix=".port-", dir=os.path.dirname(os.path.abspath(path)))
    try:
        with os.fdopen(fd, "w") as out:
            out.write(f"{port}\n")
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def main(argv=None):
    parser, args, chosen, options = parse_arguments(argv)
    if args.list:
        print(scenario_list())
        return EXIT_OK
    try:
        stream = sys.stdout if args.log == "-" else open(
            args.log, "w", encoding="utf-8", errors="backslashreplace")
    except OSError as error:
        parser.exit(EXIT_USAGE, f"corvina_testhost.py: cannot open log '{args.log}': {error}\n")
    log = Log(stream)

    def terminate(signum, frame):
        log.note(f"terminated by signal {signum}")
        raise SystemExit(128 + signum)
    signal.signal(signal.SIGTERM, terminate)
    signal.signal(signal.SIGINT, terminate)

    try:
        try:
            host = Server(log, args.port, args.timeout)
        except OSError as error:
            parser.exit(EXIT_USAGE, f"corvina_testhost.py: cannot listen on 127.0.0.1 port "
                                    f"{args.port}: {error}\n")
        with host:
            log.note(f"scenario {chosen.name} listening on 127.0.0.1:{host.port}")
            if args.port_file:
                try:
                    write_port_file(args.port_file, host.port)
                except OSError as error:
                    parser.exit(EXIT_USAGE, f"corvina_testhost.py: cannot write port file "
                                            f"'{args.port_file}': {error}\n")
            failures = host.serve(lambda conn: chosen.run(conn, options), once=args.once)
        if failures:
            return EXIT_FAILED
        if args.once and host.served == 0:
            return EXIT_NO_CLIENT
        return EXIT_OK
    finally:
        if stream is not sys.stdout:
            stream.close()


if __name__ == "__main__":
    sys.exit(main())
