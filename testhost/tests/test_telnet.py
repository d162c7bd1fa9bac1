import unittest

from testhost import telnet as t

MIXED = bytes.fromhex(
    "41 FF FF 42"  # data with a doubled IAC
    " FF FB 18"  # WILL TERMINAL-TYPE
    " FF FA 18 00 49 42 4D FF FF 2D FF F0"  # SB TERMINAL-TYPE IS "IBM\xff-"
    " FF F1"  # NOP
    " 0D 0A")


def parse(data, records=False, chunk=None, limit=1 << 20):
    parser = t.Parser(limit)
    parser.records = records
    step = chunk or max(len(data), 1)
    events = []
    for i in range(0, len(data), step):
        events += parser.feed(data[i:i + step])
    return events + parser.finish()


class ParserTest(unittest.TestCase):
    def test_splits_commands_subnegotiations_and_data_whatever_the_chunking(self):
        whole = parse(MIXED)
        self.assertEqual(whole, [
            t.Data(b"A\xffB", bytes.fromhex("41 FF FF 42")),
            t.Negotiation(t.WILL, t.TERMINAL_TYPE, bytes.fromhex("FF FB 18")),
            t.Subnegotiation(t.TERMINAL_TYPE, b"\x00IBM\xff-",
                             bytes.fromhex("FF FA 18 00 49 42 4D FF FF 2D FF F0")),
            t.Command(t.NOP, bytes.fromhex("FF F1")),
            t.Data(b"\r\n", b"\r\n"),
        ])
        for size in (1, 2, 3, 5):
            events = parse(MIXED, chunk=size)
            self.assertEqual(b"".join(e.raw for e in events), MIXED, size)
            self.assertEqual([e for e in events if not isinstance(e, t.Data)],
                             [e for e in whole if not isinstance(e, t.Data)], size)

    def test_records_span_chunks_and_commands_and_end_at_eor(self):
        stream = bytes.fromhex("7D 40 FF FF FF F1 5B FF EF FF FB 19 C1 FF EF")
        events = parse(stream, records=True, chunk=3)
        self.assertEqual([type(e) for e in events], [t.Command, t.Record, t.Negotiation, t.Record])
        self.assertEqual(events[1].payload, bytes.fromhex("7D 40 FF 5B"))
        self.assertEqual(events[3].payload, bytes.fromhex("C1"))
        # A record's raw bytes leave out the command inside it, which has its own event.
        self.assertEqual(events[1].raw, bytes.fromhex("7D 40 FF FF 5B FF EF"))

    def test_eor_outside_records_is_a_command(self):
        self.assertEqual(parse(bytes.fromhex("41 FF EF")),
                         [t.Data(b"A", b"A"), t.Command(t.EOR, bytes.fromhex("FF EF"))])

    def test_broken_framing_and_leftovers_become_violations_keeping_every_byte(self):
        cases = [
            bytes.fromhex("FF FA 18 01 FF FB 01"),  # SB cut short by a verb
            bytes.fromhex("FF FA 18 00 41"),  # stream ends inside SB
            bytes.fromhex("FF"),  # stream ends after IAC
            bytes.fromhex("C1 C2"),  # unterminated record
        ]
        for stream in cases:
            events = parse(stream, records=True)
            self.assertEqual(b"".join(e.raw for e in events), stream, stream.hex())
            self.assertTrue(any(isinstance(e, t.Violation) for e in events), stream.hex())
        self.assertIsInstance(parse(cases[0])[1], t.Negotiation)

    def test_overlong_units_are_cut_at_the_limit(self):
        record = b"\x40" * 25 + bytes.fromhex("FF EF")
        events = parse(record, records=True, limit=10)
        self.assertEqual([type(e) for e in events], [t.Violation, t.Violation, t.Record])
        self.assertEqual(b"".join(e.raw for e in events), record)
        sb = bytes.fromhex("FF FA 18") + b"x" * 20 + bytes.fromhex("FF F0 41")
        events = parse(sb, limit=10)
        self.assertTrue(all(isinstance(e, t.Violation) for e in events[:-1]))
        self.assertEqual(events[-1], t.Data(b"A", b"A"))
        self.assertEqual(b"".join(e.raw for e in events), sb)


class FramingTest(unittest.TestCase):
    def test_iac_is_doubled_in_data_subnegotiations_and_records(self):
        self.assertEqual(t.escape(b"\xff\x00\xff"), bytes.fromhex("FF FF 00 FF FF"))
        self.assertEqual(t.subnegotiation(t.NAWS, b"\x00\xff\x00\x18"),
                         bytes.fromhex("FF FA 1F 00 FF FF 00 18 FF F0"))
        self.assertEqual(t.record(b"\xf5\xff"), bytes.fromhex("F5 FF FF FF EF"))

    def test_tn3270e_header_round_trip_and_sequence_ff(self):
        header = t.Tn3270eHeader(t.DT_3270_DATA, 0, t.RF_ALWAYS_RESPONSE, 0x00FF)
        self.assertEqual(t.record(header.encode()), bytes.fromhex("00 00 02 00 FF FF FF EF"))
        self.assertEqual(t.split_tn3270e(header.encode() + b"\xf5"), (header, b"\xf5"))
        with self.assertRaises(ValueError):
            t.split_tn3270e(b"\x02\x00\x00\x00")

    def test_new_environ_entries(self):
        self.assertEqual(t.environ_send([(t.ENV_USERVAR, b"SEED\x01\x02"), (t.ENV_VAR, b"")]),
                         bytes.fromhex("01 03 53 45 45 44 02 01 02 02 00"))
        payload = bytes.fromhex("00 55 53 45 52 01"  # VAR USER = ""
                                " 03 44 45 56 01 4C 02 03 41"  # USERVAR DEV = "L\x03A"
                                " 03 58")  # USERVAR X, no value
        self.assertEqual(t.parse_environ(payload), [
            (t.ENV_VAR, b"USER", b""), (t.ENV_USERVAR, b"DEV", b"L\x03A"),
            (t.ENV_USERVAR, b"X", None)])
        for bad in (b"\x01A", b"\x00A\x02"):
            with self.assertRaises(ValueError):
                t.parse_environ(bad)

    def test_notes(self):
        def note(hex_text, tn3270e=False):
            return t.describe(parse(bytes.fromhex(hex_text), records=tn3270e)[0], tn3270e)
        self.assertEqual(note("FF FA 28 02 07 49 42 4D 01 4C 55 41 FF F0"),
                         'SB TN3270E DEVICE-TYPE REQUEST "IBM" CONNECT "LUA"')
        self.assertEqual(note("FF FA 28 03 04 00 02 FF F0"),
                         "SB TN3270E FUNCTIONS IS BIND-IMAGE RESPONSES")
        self.assertEqual(note("FF FA 1F 00 50 00 18 FF F0"), "SB NAWS width 80 height 24")
        self.assertEqual(note("02 00 00 00 07 00 FF EF", tn3270e=True),
                         "record RESPONSE POSITIVE seq 7, 1 bytes")
        self.assertEqual(note("FF 41"), "IAC 0x41 (not a command)")


class OptionStateTest(unittest.TestCase):
    def setUp(self):
        self.state = t.OptionState()

    def test_answers_to_requests_are_recorded_not_replied(self):
        self.assertEqual(self.state.request(t.DO, t.BINARY), bytes.fromhex("FF FD 00"))
        self.assertEqual(self.state.request(t.WILL, t.ECHO), bytes.fromhex("FF FB 01"))
        self.assertEqual(self.state.receive(t.WILL, t.BINARY)[0], b"")
        self.assertEqual(self.state.receive(t.DONT, t.ECHO)[0], b"")
        self.assertEqual(self.state.answers, {(t.DO, t.BINARY): True, (t.WILL, t.ECHO): False})
        self.assertEqual((self.state.client_will, self.state.host_will), ({t.BINARY}, set()))
        # Asking again for what is in effect sends nothing and counts as agreed.
        self.assertEqual(self.state.request(t.DO, t.BINARY), b"")
        self.assertTrue(self.state.answers[(t.DO, t.BINARY)])

    def test_unasked_requests_are_refused_or_accepted_and_never_answered_twice(self):
        self.assertEqual(self.state.receive(t.WILL, t.NAWS)[0], bytes.fromhex("FF FE 1F"))
        self.assertEqual(self.state.receive(t.WONT, t.NAWS)[0], b"")
        self.state.accept_host.add(t.SGA)
        self.assertEqual(self.state.receive(t.DO, t.SGA)[0], bytes.fromhex("FF FB 03"))
        self.assertEqual(self.state.receive(t.DO, t.SGA)[0], b"")
        self.assertEqual(self.state.receive(t.DONT, t.SGA)[0], bytes.fromhex("FF FC 03"))
        self.assertEqual(self.state.host_will, set())

    def test_turning_an_option_off(self):
        self.state.request(t.DO, t.END_OF_RECORD)
        self.state.receive(t.WILL, t.END_OF_RECORD)
        self.assertEqual(self.state.request(t.DONT, t.END_OF_RECORD), bytes.fromhex("FF FE 19"))
        self.state.receive(t.WONT, t.END_OF_RECORD)
        self.assertTrue(self.state.answers[(t.DONT, t.END_OF_RECORD)])
        self.assertEqual(self.state.client_will, set())


if __name__ == "__main__":
    unittest.main()
