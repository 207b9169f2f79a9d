"""The log on the debugger channel, read through debug-capture, and config.ini's switch."""
import shutil
import unittest

from harness import Build, capture_log, log_lines


class LogChannel(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.build = Build()
        cls.probe = cls.build.path("tests/log_probe.exe")
        cls.data = cls.build.user_folder("Documents", "Tolbex")

    def tearDown(self):
        shutil.rmtree(self.data, ignore_errors=True)

    def write_config(self, text):
        self.data.mkdir(parents=True, exist_ok=True)
        (self.data / "config.ini").write_text(text, encoding="ascii")

    def run_probe(self, *messages):
        code, events = capture_log([self.probe] + list(messages), build=self.build)
        self.assertEqual(code, 0)
        return events

    def test_each_accepted_line_is_two_writes_message_then_line_feed(self):
        shutil.rmtree(self.data, ignore_errors=True)
        events = self.run_probe("[installer] klaar in C:\\Tolbex", "[CLOCK] weg", "tweede")
        self.assertEqual(events, ["[installer] klaar in C:\\Tolbex", "\\n", "tweede", "\\n"])

    def test_diagnose_in_any_letter_case_passes_everything(self):
        for text in ("[Tolbex]\r\ndiagnose=1\r\n", "[TOLBEX]\r\nDIAGNOSE=7\r\n", "[tolbex]\ndiagnose = 1\n"):
            with self.subTest(config=text):
                self.write_config(text)
                events = self.run_probe("[CLOCK] x", "[regels] van de server: a", "[regels] van de server: a")
                self.assertEqual(log_lines(events),
                                 ["[CLOCK] x", "[regels] van de server: a", "[regels] van de server: a"])

    def test_diagnose_zero_or_junk_keeps_the_filter_on(self):
        for text in ("[Tolbex]\r\ndiagnose=0\r\n", "[Tolbex]\r\ndiagnose=ja\r\n", "[Anders]\r\ndiagnose=1\r\n"):
            with self.subTest(config=text):
                self.write_config(text)
                self.assertEqual(log_lines(self.run_probe("[CLOCK] x", "ok")), ["ok"])

    def test_two_threads_at_once_give_whole_lines_only(self):
        shutil.rmtree(self.data, ignore_errors=True)
        code, events = capture_log([self.probe, "--threads", "200", "x" * 200], build=self.build)
        self.assertEqual(code, 0)
        # Strict alternation message, "\n", message, "\n"...: no write of one thread ever
        # lands between the two writes of the other's line.
        self.assertEqual(len(events), 800)
        self.assertTrue(all(e == "\\n" for e in events[1::2]))
        messages = events[0::2]
        for n in (1, 2):
            mine = [m for m in messages if m.startswith("x" * 200 + f"-{n} ")]
            self.assertEqual(mine, ["x" * 200 + f"-{n} {i}" for i in range(200)])


if __name__ == "__main__":
    unittest.main()
